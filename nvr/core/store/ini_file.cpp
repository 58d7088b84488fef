#include "nvr/core/store/ini_file.h"

#include <cerrno>

#include "nvr/core/store/atomic_file.h"

namespace nvr {
namespace {

std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  for (size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

enum class LineKind { kOther, kSection, kKey };

// One line of the file without its line ending, and what it says.
struct Line {
  std::string text;
  LineKind kind = LineKind::kOther;
  std::string name;   // section or key name
  std::string value;  // key value (trimmed, quotes kept)
};

void Classify(Line& line) {
  const std::string_view t = Trim(line.text);
  if (t.empty() || t.front() == ';' || t.front() == '#') return;
  if (t.front() == '[') {
    const size_t close = t.find(']');
    line.kind = LineKind::kSection;
    line.name = Trim(t.substr(1, close == std::string_view::npos ? close : close - 1));
    return;
  }
  const size_t eq = t.find('=');
  if (eq == std::string_view::npos) return;
  line.kind = LineKind::kKey;
  line.name = Trim(t.substr(0, eq));
  line.value = Trim(t.substr(eq + 1));
}

struct Document {
  std::vector<Line> lines;
  std::string eol = "\n";
  bool final_eol = true;
};

// Missing file: empty document, 0. Other failures return their errno; a file over the size
// limit gives EFBIG with its first part loaded (enough to read, never to rewrite).
int Load(const std::string& path, Document* doc) {
  std::string data;
  const int err = ReadWholeFile(path, kIniMaxFileSize, &data);
  if (err == ENOENT) return 0;
  if (err != 0 && err != EFBIG) return err;
  const size_t first_lf = data.find('\n');
  if (first_lf != std::string::npos && first_lf > 0 && data[first_lf - 1] == '\r') doc->eol = "\r\n";
  doc->final_eol = data.empty() || data.back() == '\n';
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find('\n', start);
    if (end == std::string::npos) end = data.size();
    size_t stop = end;
    // Every carriage return at a line's end belongs to the ending: files edited with tools of
    // both conventions carry "\r\r\n", and a value must not keep a '\r' that the rewrite in
    // the file's one line ending would then drop.
    while (stop > start && data[stop - 1] == '\r') --stop;
    doc->lines.push_back(Line{data.substr(start, stop - start)});
    start = end + 1;
  }
  for (Line& line : doc->lines) Classify(line);
  return err;
}

bool LoadForReading(const std::string& path, Document* doc) {
  const int err = Load(path, doc);
  return err == 0 || err == EFBIG;
}

std::string Serialize(const Document& doc) {
  std::string out;
  for (size_t i = 0; i < doc.lines.size(); ++i) {
    out += doc.lines[i].text;
    if (i + 1 < doc.lines.size() || doc.final_eol) out += doc.eol;
  }
  return out;
}

// Index of the section's header line, or npos.
size_t FindSection(const Document& doc, std::string_view section) {
  for (size_t i = 0; i < doc.lines.size(); ++i) {
    if (doc.lines[i].kind == LineKind::kSection && SameName(doc.lines[i].name, section)) return i;
  }
  return std::string::npos;
}

// One past the last line of the section that starts at `header`.
size_t SectionEnd(const Document& doc, size_t header) {
  size_t i = header + 1;
  while (i < doc.lines.size() && doc.lines[i].kind != LineKind::kSection) ++i;
  return i;
}

size_t FindKey(const Document& doc, size_t header, std::string_view key) {
  const size_t end = SectionEnd(doc, header);
  for (size_t i = header + 1; i < end; ++i) {
    if (doc.lines[i].kind == LineKind::kKey && SameName(doc.lines[i].name, key)) return i;
  }
  return std::string::npos;
}

std::string Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return std::string(v);
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

bool ValidNames(std::string_view section, std::string_view key) {
  const std::string_view s = Trim(section);
  const std::string_view k = Trim(key);
  if (s.empty() || k.empty() || HasLineBreak(section) || HasLineBreak(key)) return false;
  if (s.find(']') != std::string_view::npos || k.find('=') != std::string_view::npos) return false;
  return k.front() != '[' && k.front() != ';' && k.front() != '#';
}

Line MakeLine(std::string text) {
  Line line{std::move(text)};
  Classify(line);
  return line;
}

}  // namespace

std::optional<std::string> ReadIniString(const std::string& path, std::string_view section,
                                         std::string_view key) {
  Document doc;
  if (!LoadForReading(path, &doc)) return std::nullopt;
  const size_t header = FindSection(doc, Trim(section));
  if (header == std::string::npos) return std::nullopt;
  const size_t at = FindKey(doc, header, Trim(key));
  if (at == std::string::npos) return std::nullopt;
  return Unquote(doc.lines[at].value);
}

int32_t ReadIniInt(const std::string& path, std::string_view section, std::string_view key,
                   int32_t fallback) {
  const std::optional<std::string> value = ReadIniString(path, section, key);
  return value ? ParseDecimal(*value) : fallback;
}

std::optional<std::vector<std::pair<std::string, std::string>>> ReadIniSection(
    const std::string& path, std::string_view section) {
  Document doc;
  if (!LoadForReading(path, &doc)) return std::nullopt;
  const size_t header = FindSection(doc, Trim(section));
  if (header == std::string::npos) return std::nullopt;
  std::vector<std::pair<std::string, std::string>> entries;
  const size_t end = SectionEnd(doc, header);
  for (size_t i = header + 1; i < end; ++i) {
    if (doc.lines[i].kind != LineKind::kKey) continue;
    entries.emplace_back(doc.lines[i].name, Unquote(doc.lines[i].value));
  }
  return entries;
}

int WriteIniString(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value) {
  if (!ValidNames(section, key) || HasLineBreak(value)) return EINVAL;
  Document doc;
  if (const int err = Load(path, &doc); err != 0) return err;
  const std::string_view s = Trim(section);
  const std::string_view k = Trim(key);
  const size_t header = FindSection(doc, s);
  if (header == std::string::npos) {
    doc.lines.push_back(MakeLine("[" + std::string(s) + "]"));
    doc.lines.push_back(MakeLine(std::string(k) + "=" + std::string(value)));
    doc.final_eol = true;
    return WriteFileAtomically(path, Serialize(doc), 0644);
  }
  const size_t at = FindKey(doc, header, k);
  if (at != std::string::npos) {
    // Keeps the key as the file spells it.
    doc.lines[at] = MakeLine(doc.lines[at].name + "=" + std::string(value));
    return WriteFileAtomically(path, Serialize(doc), 0644);
  }
  size_t insert = header + 1;
  const size_t end = SectionEnd(doc, header);
  for (size_t i = header + 1; i < end; ++i) {
    if (doc.lines[i].kind == LineKind::kKey) insert = i + 1;
  }
  if (insert == doc.lines.size()) doc.final_eol = true;
  doc.lines.insert(doc.lines.begin() + static_cast<std::ptrdiff_t>(insert),
                   MakeLine(std::string(k) + "=" + std::string(value)));
  return WriteFileAtomically(path, Serialize(doc), 0644);
}

int DeleteIniKey(const std::string& path, std::string_view section, std::string_view key) {
  Document doc;
  if (const int err = Load(path, &doc); err != 0) return err;
  const size_t header = FindSection(doc, Trim(section));
  if (header == std::string::npos) return 0;
  const size_t at = FindKey(doc, header, Trim(key));
  if (at == std::string::npos) return 0;
  doc.lines.erase(doc.lines.begin() + static_cast<std::ptrdiff_t>(at));
  return WriteFileAtomically(path, Serialize(doc), 0644);
}

std::string CutToBuffer(std::string_view value, size_t buffer_size) {
  if (buffer_size == 0) return std::string();
  return std::string(value.substr(0, buffer_size - 1));
}

int32_t ParseDecimal(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{INT32_MAX} + 1) value = int64_t{INT32_MAX} + 1;  // saturate, keep going
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

}  // namespace nvr
