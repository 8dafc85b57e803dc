// The modified flag: set when the parameters shown differ from those last
// read from or written to a file. Set by the pages (a change the user made)
// and by a device read that brought different values; cleared only by a
// successful file read or write; shown as " *" beside the status line.
//
// One owner (the configuration model); everyone else reaches it through
// this interface. Whoever shows the flag observes it and is told of every
// change, so nobody asks for it again and again. User-interface thread only.
#pragma once
#include <functional>
#include <utility>
#include <vector>

class IModifiedFlag {
 public:
  // Told the flag's new state each time it changes.
  using Observer = std::function<void(bool set)>;

  virtual ~IModifiedFlag() = default;
  virtual bool IsSet() const = 0;
  // Sets the flag; true when it was clear, so that the caller tells the
  // main window only about the change from clear to set.
  virtual bool Mark() = 0;
  virtual void Clear() = 0;
  // Adds an observer; the number it gives takes it away again (Forget).
  virtual int Observe(Observer observer) = 0;
  virtual void Forget(int observer) = 0;
};

class ModifiedFlag : public IModifiedFlag {
 public:
  bool IsSet() const override { return set_; }
  bool Mark() override {
    if (set_) return false;
    set_ = true;
    Tell();
    return true;
  }
  void Clear() override {
    if (!set_) return;
    set_ = false;
    Tell();
  }
  int Observe(Observer observer) override {
    observers_.emplace_back(++lastId_, std::move(observer));
    return lastId_;
  }
  void Forget(int observer) override {
    std::erase_if(observers_, [observer](const auto& o) { return o.first == observer; });
  }

 private:
  void Tell() {
    // A copy: an observer may add or take away observers.
    const auto observers = observers_;
    for (const auto& o : observers) o.second(set_);
  }

  bool set_ = false;
  int lastId_ = 0;
  std::vector<std::pair<int, Observer>> observers_;
};
