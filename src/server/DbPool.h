// The server's connections to its database, each with the registry on it:
// each request borrows one for
// its duration (a Database belongs to one thread at a time) and gives it
// back; a connection that broke is dropped and the next borrower opens a
// new one, so the server recovers by itself when the database is back.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "sites/Registry.h"

namespace office {

class DbPool {
 public:
  using Factory = std::function<std::unique_ptr<Registry>()>;
  DbPool(Factory factory, std::size_t size) : factory_(std::move(factory)), size_(size) {}

  class Lease {
   public:
    Lease(DbPool& pool, std::unique_ptr<Registry> db) : pool_(&pool), db_(std::move(db)) {}
    Lease(Lease&& other) noexcept = default;
    ~Lease() {
      if (pool_ && db_) pool_->Return(std::move(db_), broken_);
    }
    Database& operator*() { return db_->database(); }
    Database* operator->() { return &db_->database(); }
    Registry& registry() { return *db_; }
    // The connection is no longer usable (the server went away).
    void Broken() { broken_ = true; }

   private:
    DbPool* pool_;
    std::unique_ptr<Registry> db_;
    bool broken_ = false;
  };

  // Waits while every connection is lent; opens a new one when none is
  // idle and fewer than `size` exist. Throws DbError when it cannot open.
  Lease Get();

 private:
  void Return(std::unique_ptr<Registry> db, bool broken);
  friend class OfficeStore;

  Factory factory_;
  std::size_t size_;
  std::mutex mutex_;
  std::condition_variable returned_;
  std::vector<std::unique_ptr<Registry>> idle_;
  std::size_t open_ = 0;
};

}  // namespace office
