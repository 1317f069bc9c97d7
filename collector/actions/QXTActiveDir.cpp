// Directory dump: the ACTIVE_DIRECTORY vocabulary, the global-catalog search of every
// tree of the forest for each SEARCH, and one CSV line per object found.
#include "QXTActiveDir.h"

#include <windows.h>
#include <comdef.h>

#include <memory>

#include "ADSI.h"
#include "AdsClient.h"
#include "CollectorState.h"
#include "CsvField.h"
#include "FileList.h"
#include "NameCheck.h"
#include "ScriptDocument.h"

namespace {

bool SameName(const std::string& a, const char* b) { return lstrcmpiA(a.c_str(), b) == 0; }

// The value of the element's attribute, looked up exactly as written; fallback when
// the element lacks it.
std::string AttributeOr(ScriptNode* node, const wchar_t* name, const char* fallback) {
  TreeRef<AttributeMap> attributes;
  TreeRef<ScriptNode> attribute;
  if (SUCCEEDED(node->GetAttributes(attributes.put())) && attributes &&
      SUCCEEDED(attributes->Get(name, attribute.put())) && attribute)
    return attribute->AnsiText();
  return fallback;
}

template <typename Visit>
void ForEachChild(ScriptElement* element, Visit&& visit) {
  TreeRef<ScriptNode> child;
  if (FAILED(element->FirstChild(child.put()))) return;
  while (child) {
    visit(child.get());
    TreeRef<ScriptNode> next;
    child->NextSibling(next.put());
    child = std::move(next);
  }
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size =
      WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? static_cast<size_t>(size) : 0, '\0');
  if (size > 0)
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
  return out;
}

// One object's line: two empty fields under the header's scope and filter, then one
// field per requested attribute (empty when the object lacks it), each made a CSV field.
std::string LineOf(CADSIValues& values) {
  std::vector<std::string> fields(2);
  CADSIValue* value = nullptr;
  for (HRESULT hr = values.GetFirst(value); hr == S_OK; hr = values.GetNext(value)) {
    _bstr_t text;
    value->GetValueAsString(text);
    fields.push_back(text.length() ? Narrow(static_cast<const wchar_t*>(text)) : std::string());
  }
  return CsvRow(fields);
}

}  // namespace

DirectoryDump::DirectoryDump(const CollectorContext& context, ScriptElement* element) : context_(context) {
  if (!element) return;
  ForEachChild(element, [this](ScriptNode* child) {
    if (SameName(child->AnsiName(), "DUMP")) {
      fileName_ = AttributeOr(child, L"Name", "ADS_Info.csv");
    } else if (SameName(child->AnsiName(), "SEARCH")) {
      Search search;
      search.filter = AttributeOr(child, L"Value", "");
      ForEachChild(child, [&search](ScriptNode* item) {
        if (SameName(item->AnsiName(), "Attrib"))
          search.attributes.push_back(AttributeOr(item, L"Value", "cn"));
        else if (SameName(item->AnsiName(), "Scope"))
          search.scope = AttributeOr(item, L"Value", "all");
      });
      if (!search.attributes.empty()) searches_.push_back(std::move(search));
    }
  });
}

bool DirectoryDump::Run() {
  LineFileWriter* log = context_.log;
  if (!context_.AcceptOutputName(fileName_, fileName_)) return false;
  // Without the platform's directory client there is nothing to search, and nothing to say.
  if (!AdsClient()) return false;
  const std::string path = context_.OutputPath(fileName_);
  LineFileWriter out(path);
  bool forest = false;
  for (const Search& search : searches_) forest = forest || SameName(search.scope, "all");
  const std::vector<std::wstring> trees = forest ? ForestTrees() : std::vector<std::wstring>();
  for (const Search& search : searches_) {
    if (TerminateRequested) break;
    RunSearch(search, trees, out);
  }
  context_.status->SetDetail("...");
  if (!searches_.empty())
    LogEventF(log, LogLevel::Information, "Active directory dumped to %s: %lu objects", path.c_str(), objects_);
  if (context_.fileList) context_.fileList->RegisterOutputFile(path);
  return false;
}

std::vector<std::wstring> DirectoryDump::ForestTrees() {
  std::vector<std::wstring> trees;
  CADSISystemInfo info;
  _bstr_t* found = nullptr;
  unsigned count = 0;
  const HRESULT hr = info.EnumerateTrees(found, count);
  std::unique_ptr<_bstr_t[]> owned(found);
  if (FAILED(hr)) {
    LogEventF(context_.log, LogLevel::Warning, "Active directory trees could not be enumerated: 0x%08lX",
              static_cast<unsigned long>(hr));
    return trees;
  }
  for (unsigned i = 0; i < count; ++i)
    if (found[i].length()) trees.emplace_back(static_cast<const wchar_t*>(found[i]));
  // A forest has at least one tree: none means that none of their names could be read.
  if (trees.empty()) LogEvent(context_.log, LogLevel::Warning, "Active directory forest lists no tree to search");
  return trees;
}

void DirectoryDump::RunSearch(const Search& search, const std::vector<std::wstring>& trees, LineFileWriter& out) {
  std::vector<std::string> fields = {search.scope, search.filter};
  fields.insert(fields.end(), search.attributes.begin(), search.attributes.end());
  const std::string header = CsvRow(fields);
  out.AppendLine(header);
  // Other scopes are accepted by the vocabulary but search nothing.
  if (!SameName(search.scope, "all")) return;
  for (const std::wstring& tree : trees) {
    if (TerminateRequested) return;
    context_.status->SetDetail(Narrow(tree));
    DumpTree(search, header, tree, out);
  }
}

void DirectoryDump::DumpTree(const Search& search, const std::string& header, const std::wstring& tree,
                             LineFileWriter& out) {
  std::vector<_bstr_t> names;
  for (const std::string& attribute : search.attributes) names.emplace_back(attribute.c_str());
  std::vector<LPWSTR> pointers;
  for (_bstr_t& name : names) pointers.push_back(static_cast<wchar_t*>(name));

  CADSISearch directory;
  directory.SetSearchFilter(search.filter.c_str());
  // Every object whole (several values joined by ";"), and only the requested
  // attributes: a provider's own columns would shift the line.
  directory.SetMultiValueSeparator(L";");
  directory.SetRequestedColumnsOnly(TRUE);
  // One field per requested attribute, so that every line keeps the header's columns.
  directory.SetColumnsInRequestOrder(TRUE);
  const std::string where = header + " in GC://" + Narrow(tree);
  HRESULT hr = directory.Attach(_bstr_t(tree.c_str()), nullptr, 1);
  if (FAILED(hr)) {
    LogEventF(context_.log, LogLevel::Warning, "Active directory search %s: bind failed with 0x%08lX", where.c_str(),
              static_cast<unsigned long>(hr));
    return;
  }
  hr = directory.ExecuteSearch(pointers.data(), static_cast<DWORD>(pointers.size()));
  if (FAILED(hr)) {
    LogEventF(context_.log, LogLevel::Warning, "Active directory search %s: search failed with 0x%08lX", where.c_str(),
              static_cast<unsigned long>(hr));
    return;
  }
  CADSIValues values;
  unsigned long read = 0;
  for (hr = directory.GetFirstObject(values); SUCCEEDED(hr); hr = directory.GetNextObject(values)) {
    out.AppendLine(LineOf(values));
    ++read;
    ++objects_;
    _bstr_t partial;
    if (directory.GetPartialColumns(partial) == S_OK)
      LogEventF(context_.log, LogLevel::Warning,
                "Active directory search %s: object %lu holds only part of the values of %s (ranged)", where.c_str(),
                read, Narrow(static_cast<const wchar_t*>(partial)).c_str());
    if (TerminateRequested) return;
  }
  // E_FAIL is the end of the results; any other code a row that could not be read,
  // such as a server that stopped answering.
  if (hr != E_FAIL)
    LogEventF(context_.log, LogLevel::Warning,
              "Active directory search %s: reading stopped after %lu objects with 0x%08lX", where.c_str(), read,
              static_cast<unsigned long>(hr));
}
