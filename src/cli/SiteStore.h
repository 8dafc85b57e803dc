// Where the site commands keep the sites: the local registry, or the
// office (ostrel-server) that `--server` or OSTREL_SERVER names. The
// commands ask the same questions of either and print the same answers.
//
// Refusals: the local registry throws RegistryError; the office throws
// CliFailure with the office's message and the exit status for it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sites/Registry.h"

// A revision as the one who asks may see it.
struct RevisionView {
  Image image;
  // A viewer at the office never receives the alarm's password: the image
  // then holds the pages' values without it, `secretShown` is the password
  // as the office masks it, and `fileCrc` the CRC of the revision's own
  // file. Otherwise the revision's image, and neither.
  std::optional<std::string> secretShown;  // UTF-8
  std::optional<std::uint32_t> fileCrc;
};

class SiteStore {
 public:
  virtual ~SiteStore() = default;

  virtual void AddSite(const Site& site) = 0;
  virtual void EditSite(const std::string& number, const SiteChanges& changes) = 0;
  virtual void ArchiveSite(const std::string& number, bool archived) = 0;
  virtual std::optional<Site> FindSite(const std::string& number) = 0;
  virtual std::vector<Site> ListSites(const std::string& text, bool archived) = 0;

  // The newest first.
  virtual std::vector<Revision> Heads(const std::string& number) = 0;
  // The last added first; at most `limit` (0: all).
  virtual std::vector<Revision> Log(const std::string& number, std::size_t limit) = 0;
  // The revision of the site whose id starts with `prefix`.
  virtual Revision ResolveRevision(const std::string& number, const std::string& prefix) = 0;
  virtual Image RevisionImage(const Revision& revision) = 0;
  // Whether the alarm's password is given here: on the local registry and
  // to an installer or admin at the office; never to a viewer.
  virtual bool SecretsGiven() = 0;
  // The revision to show or print: its image where the password is given,
  // else the pages' values with the password masked.
  virtual RevisionView ViewRevision(const Revision& revision) = 0;
  virtual Difference Diff(const Revision& a, const Revision& b) = 0;
  virtual Added AddRevision(const NewRevision& revision) = 0;
  virtual std::string ExportHistory(const std::string& number) = 0;
  virtual std::vector<FoundSite> Find(const std::vector<FieldQuery>& conditions) = 0;
};

// The local registry behind the interface.
class LocalSites : public SiteStore {
 public:
  explicit LocalSites(Registry& registry) : r_(registry) {}
  void AddSite(const Site& site) override { r_.AddSite(site); }
  void EditSite(const std::string& number, const SiteChanges& changes) override {
    r_.EditSite(number, changes);
  }
  void ArchiveSite(const std::string& number, bool archived) override {
    r_.ArchiveSite(number, archived);
  }
  std::optional<Site> FindSite(const std::string& number) override { return r_.FindSite(number); }
  std::vector<Site> ListSites(const std::string& text, bool archived) override {
    return r_.ListSites(text, archived);
  }
  std::vector<Revision> Heads(const std::string& number) override { return r_.Heads(number); }
  std::vector<Revision> Log(const std::string& number, std::size_t limit) override {
    return r_.Log(number, limit);
  }
  Revision ResolveRevision(const std::string& number, const std::string& prefix) override {
    return r_.ResolveRevision(number, prefix);
  }
  Image RevisionImage(const Revision& revision) override { return r_.RevisionImage(revision); }
  bool SecretsGiven() override { return true; }
  RevisionView ViewRevision(const Revision& revision) override { return {r_.RevisionImage(revision), {}, {}}; }
  Difference Diff(const Revision& a, const Revision& b) override { return r_.Diff(a, b); }
  Added AddRevision(const NewRevision& revision) override { return r_.AddRevision(revision); }
  std::string ExportHistory(const std::string& number) override {
    return r_.ExportHistory(number);
  }
  std::vector<FoundSite> Find(const std::vector<FieldQuery>& conditions) override {
    return r_.Find(conditions);
  }

 private:
  Registry& r_;
};
