// Base of an object that owns a thread. The thread is created suspended
// and resumed by the derived class at the end of its construction; its
// entry function calls ThreadStarted, then ThreadBody.
//
// The object is shared by its owner and its thread: whichever lets go of
// it last frees it. So an owner that gave up waiting for the thread can
// drop the object without destroying it under the running thread.
#pragma once
#include <windows.h>

#include <atomic>

class ActiveObject {
 public:
  ActiveObject(const ActiveObject&) = delete;
  ActiveObject& operator=(const ActiveObject&) = delete;

  HANDLE threadHandle() const { return thread_; }
  DWORD threadId() const { return threadId_; }

  // The owner lets go of the object (after setting the stop flag and
  // waking the thread): it is freed now if the thread has ended, else by
  // the thread when its body returns.
  void Release();

 protected:
  // Creates the thread suspended; throws WinException when it cannot.
  ActiveObject();
  virtual ~ActiveObject();  // closes the thread handle

  virtual void ThreadStarted() = 0;
  virtual void ThreadBody() = 0;
  virtual void WakeThread() = 0;

  // Starts the thread; called once, as the last step of construction.
  void Resume();

  std::atomic<int> stopFlag_{0};  // 1: the thread is to leave its loop

 private:
  static unsigned __stdcall ThreadEntry(void* object);
  void LetGo();

  HANDLE thread_ = nullptr;
  unsigned threadId_ = 0;
  bool resumed_ = false;
  std::atomic<int> holders_{2};  // the owner and the thread
};
