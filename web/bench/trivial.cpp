// The browser bench's yardstick: an Emscripten module that does nothing,
// built and loaded the way the engine is.
int main() { return 0; }
