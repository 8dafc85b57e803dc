// The modified flag: set when the parameters shown differ from those last
// read from or written to a file. Set by the pages (a change the user made)
// and by a device read that brought different values; cleared only by a
// successful file read or write; shown as " *" beside the status line.
//
// One owner (the configuration model); everyone else reaches it through
// this interface. User-interface thread only.
#pragma once

class IModifiedFlag {
 public:
  virtual ~IModifiedFlag() = default;
  virtual bool IsSet() const = 0;
  // Sets the flag; true when it was clear, so that the caller tells the
  // main window only about the change from clear to set.
  virtual bool Mark() = 0;
  virtual void Clear() = 0;
};

class ModifiedFlag : public IModifiedFlag {
 public:
  bool IsSet() const override { return set_; }
  bool Mark() override {
    const bool was = set_;
    set_ = true;
    return !was;
  }
  void Clear() override { set_ = false; }

 private:
  bool set_ = false;
};
