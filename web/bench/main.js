// Ready once the trivial module has started.
import createTrivial from './trivial.mjs';

await createTrivial();
window.ostrelReadyAt = performance.now();
document.body.dataset.ready = 'true';
