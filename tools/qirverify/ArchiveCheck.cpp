// One pass over a results archive: gzip, tar, CRCs, file list, activity log.
#include "ArchiveCheck.h"

#include <zlib.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "ResultsFormat.h"

namespace {

// The longest name a ustar header holds: prefix, "/", name. A listed name that is
// longer cannot match any entry.
constexpr std::size_t kMaxEntryName = tar::kPrefix.width + 1 + tar::kName.width;
// What may be held, together, for the names that only the file list has given so far
// (the list usually comes before most of the files); with what a name costs beside its
// characters. A list that names more than this of files not yet seen is not checked in
// full: a gigabyte of invented names must not become a gigabyte of memory.
constexpr unsigned long long kListOnlyBudget = 64ULL << 20;
constexpr unsigned long long kNameCost = 128;

// The name a file gets when it is extracted: empty and "." steps dropped, so "./a",
// "a" and ".//a" name one file. A name of nothing but such steps stays as it is.
std::string SameFileName(const std::string& name) {
  std::string key;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    const std::size_t length = end - start;
    if (length > 0 && !(length == 1 && name[start] == '.')) {
      if (!key.empty()) key += '/';
      key.append(name, start, length);
    }
    start = end + 1;
  }
  return key.empty() ? name : key;
}

// The archive's form of a listed name: "/" for "\".
std::string ArchiveForm(std::string name) {
  std::replace(name.begin(), name.end(), '\\', '/');
  return SameFileName(name);
}

}  // namespace

ArchiveReport CheckArchive(ByteSource& source) {
  ArchiveReport report;
  ArchiveCheck check(report);
  TarStream tar(check, report);
  const GzipResult gzip = InflateGzip(source, tar);
  ArchiveFacts& facts = report.facts;
  facts.packedBytes = gzip.packedBytes;
  facts.unpackedBytes = gzip.unpackedBytes;
  facts.members = gzip.members;

  using End = GzipResult::End;
  if (gzip.end == End::NotGzip) {
    report.SetUnreadable(gzip.packedBytes == 0 ? "the file is empty" : "not a gzip file");
    return report;
  }
  if (gzip.unpackedBytes < tar::kBlockSize) {
    report.SetUnreadable(gzip.end == End::ReadError  ? "the file cannot be read"
                         : gzip.end == End::Complete ? "the gzip stream holds no tar archive"
                                                     : "the gzip stream is damaged before the first tar header");
    return report;
  }
  const std::string after = " after " + std::to_string(gzip.packedBytes) + " bytes";
  switch (gzip.end) {
    case End::CutShort:
      report.Add(ProblemKind::Gzip, "the gzip stream is cut short: the file ends" + after);
      break;
    case End::Corrupt:
      report.Add(ProblemKind::Gzip,
                 "the gzip stream is corrupt at byte " + std::to_string(gzip.failedAt) + " (" + gzip.detail + ")");
      break;
    case End::ReadError:
      report.Add(ProblemKind::Gzip, "the file cannot be read" + after);
      break;
    default:
      break;
  }
  if (gzip.trailingBytes > 0)
    report.Add(ProblemKind::Gzip, std::to_string(gzip.trailingBytes) + " bytes after the end of the gzip stream");
  tar.Finish(gzip.end == End::Complete);
  facts.endBlocks = tar.EndBlocks();
  check.Finish();
  return report;
}

void ArchiveCheck::OnEntry(const TarEntry& entry) {
  entry_ = entry;
  key_ = SameFileName(entry.name);
  crc_ = crc32(0L, Z_NULL, 0);
  if (key_ == results::kFileListName && !fileListSeen_) {
    fileListSeen_ = true;
    report_.facts.fileList = true;
    fileList_ = std::make_unique<FileListReader>(*this, report_);
  } else if (key_ == results::kActivityLogName && !logSeen_) {
    logSeen_ = true;
    log_ = std::make_unique<ActivitySummary>(report_.facts.run);
  }
}

void ArchiveCheck::OnData(const unsigned char* data, std::size_t size) {
  crc_ = crc32(crc_, data, static_cast<uInt>(size));
  if (fileList_) fileList_->Add(data, size);
  if (log_) log_->Add(data, size);
}

void ArchiveCheck::OnEntryEnd(bool complete) {
  ++report_.facts.entries;
  if (fileList_) {
    fileList_->Finish(complete);
    CompareEntriesBeforeTheList();
    report_.facts.integrityValid = complete && fileList_->IntegrityValid();
    if (complete && !report_.facts.integrityValid)
      report_.Add(ProblemKind::FileList,
                  std::string(results::kFileListName) +
                      ": integrity value invalid, the list was damaged or changed after it was signed");
    fileList_.reset();
  }
  if (log_) {
    log_->Finish();
    log_.reset();
  }

  Name* known = names_.Find(key_);
  if (known && known->listed && !known->inArchive) listOnlyBytes_ -= key_.size() + kNameCost;
  Name& name = known ? *known : names_.Insert(key_);
  if (name.inArchive > 0) {
    name.inArchive = 2;
    report_.Add(ProblemKind::Twice, Printable(entry_.name) + ": in the archive more than once", entry_.name);
    return;
  }
  name.inArchive = 1;
  name.archiveCrc = static_cast<std::uint32_t>(crc_);
  name.cutShort = !complete;
  if (name.listed) CompareCrc(name);
}

void ArchiveCheck::OnListed(const std::string& listedName, unsigned long crc, bool external) {
  const std::string key = ArchiveForm(listedName);
  Name* name = names_.Find(key);
  if (name && name->listed) {
    // An action that appends to a file registers it again, with its CRC of then: the
    // later line holds.
    if (!name->listedExternal && !external) {
      name->listedCrc = static_cast<std::uint32_t>(crc);
      return;
    }
    // The collector reads its registered names back only up to a comma, so a name with
    // a comma comes again after "<EXTERNAL_FILES>", with the same CRC.
    const bool readBackCut =
        !name->listedExternal && external && key.find(',') != std::string::npos && crc == name->listedCrc;
    if (!readBackCut)
      report_.Add(ProblemKind::Twice, Printable(listedName) + ": named more than once in the file list", key);
    return;
  }
  ++report_.facts.listed;
  if (key.size() > kMaxEntryName) {
    report_.Add(ProblemKind::Missing, Printable(listedName) + ": listed, but no archive entry can have so long a name",
                key);
    return;
  }
  if (!name) {
    const unsigned long long cost = key.size() + kNameCost;
    if (listOnlyBytes_ + cost > kListOnlyBudget) {
      if (!listOverflow_)
        report_.Add(ProblemKind::FileList, std::string(results::kFileListName) +
                                               ": names too many files not in the archive "
                                               "so far; the names after the first " +
                                               std::to_string(report_.facts.listed - 1) + " are not checked");
      listOverflow_ = true;
      return;
    }
    listOnlyBytes_ += cost;
    name = &names_.Insert(key);
  }
  name->listed = true;
  name->listedCrc = static_cast<std::uint32_t>(crc);
  name->listedExternal = external;
}

// A file archived before the list is compared once the whole list is known: a later
// line of the list may register it again.
void ArchiveCheck::CompareEntriesBeforeTheList() {
  for (std::size_t i = 0; i < names_.Size(); ++i) {
    const Name& name = names_.At(i);
    if (name.listed && name.inArchive) CompareCrc(name);
  }
}

void ArchiveCheck::CompareCrc(const Name& entry) {
  ++report_.facts.listedPresent;
  if (entry.cutShort || entry.archiveCrc == entry.listedCrc) return;
  const std::string name(names_.NameOf(entry));
  report_.Add(ProblemKind::Crc,
              Printable(name) + ": CRC " + results::CrcText(entry.archiveCrc) + " in the archive, " +
                  results::CrcText(entry.listedCrc) + " in the file list",
              name);
}

void ArchiveCheck::ReportInOrder(ProblemKind kind, bool (*select)(std::string_view, const Name&), const char* what) {
  for (std::size_t i = 0; i < names_.Size(); ++i) {
    const Name& entry = names_.At(i);
    const std::string_view name = names_.NameOf(entry);
    if (select(name, entry)) report_.Add(kind, Printable(std::string(name)) + what, std::string(name));
  }
}

void ArchiveCheck::Finish() {
  if (!fileListSeen_) {
    report_.Add(ProblemKind::FileList, std::string(results::kFileListName) + " is missing: no file can be checked");
    return;
  }
  ReportInOrder(
      ProblemKind::Missing, [](std::string_view, const Name& n) { return n.listed && !n.inArchive; },
      ": listed, but not in the archive");
  ReportInOrder(
      ProblemKind::Unlisted,
      [](std::string_view name, const Name& n) { return n.inArchive && !n.listed && name != results::kFileListName; },
      ": in the archive, but not in the file list");
}
