#include "netclient/wire/rtsp_message.h"

#include <algorithm>
#include <cctype>

namespace qvnet {
namespace {

struct HeaderEnd {
  size_t headers = std::string_view::npos;  // length of the header block without its blank line
  size_t body = 0;                          // where the body starts
};

HeaderEnd FindHeaderEnd(std::string_view data) {
  const size_t crlf = data.find("\r\n\r\n");
  const size_t lf = data.find("\n\n");
  HeaderEnd end;
  if (crlf != std::string_view::npos && (lf == std::string_view::npos || crlf < lf)) {
    end.headers = crlf;
    end.body = crlf + 4;
  } else if (lf != std::string_view::npos) {
    end.headers = lf;
    end.body = lf + 2;
  }
  return end;
}

// Content-Length of a header block: nullopt when absent; -1 when present but not a number
// that fits `cap`.
std::optional<long> ContentLength(std::string_view headers, size_t cap) {
  size_t pos = 0;
  while (pos < headers.size()) {
    size_t eol = headers.find('\n', pos);
    if (eol == std::string_view::npos) eol = headers.size();
    const std::string_view line = headers.substr(pos, eol - pos);
    pos = eol + 1;
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || !EqualsNoCase(TrimBlanks(line.substr(0, colon)), "Content-Length")) {
      continue;
    }
    std::string_view value = TrimBlanks(line.substr(colon + 1));
    if (!value.empty() && value.back() == '\r') value = TrimBlanks(value.substr(0, value.size() - 1));
    if (value.empty() || value.size() > 9) return -1;
    long n = 0;
    for (char c : value) {
      if (c < '0' || c > '9') return -1;
      n = n * 10 + (c - '0');
    }
    return n > static_cast<long>(cap) ? -1 : n;
  }
  return std::nullopt;
}

std::string_view TrimLineEnd(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

bool ParseStatusLine(std::string_view line, RtspResponse* r) {
  if (line.size() < 12 || line.substr(0, 7) != "RTSP/1.") return false;
  const size_t space = line.find(' ');
  if (space == std::string_view::npos || space + 4 > line.size()) return false;
  int status = 0;
  for (size_t i = space + 1; i < space + 4; ++i) {
    if (line[i] < '0' || line[i] > '9') return false;
    status = status * 10 + (line[i] - '0');
  }
  if (space + 4 < line.size() && line[space + 4] != ' ') return false;
  r->status = status;
  r->reason = std::string(TrimBlanks(line.substr(std::min(space + 4, line.size()))));
  return true;
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

AnswerFrame FrameRtspAnswer(std::string_view data, size_t cap) {
  const HeaderEnd end = FindHeaderEnd(data.substr(0, std::min(data.size(), cap)));
  if (end.headers == std::string_view::npos) {
    return AnswerFrame{data.size() >= cap ? AnswerFraming::kTooLarge : AnswerFraming::kIncomplete, 0};
  }
  const std::optional<long> length = ContentLength(data.substr(0, end.headers), cap);
  if (length && *length < 0) return AnswerFrame{AnswerFraming::kMalformed, 0};
  if (length) {
    const size_t size = end.body + static_cast<size_t>(*length);
    if (size > cap) return AnswerFrame{AnswerFraming::kTooLarge, 0};
    if (data.size() < size) return AnswerFrame{AnswerFraming::kIncomplete, 0};
    return AnswerFrame{AnswerFraming::kComplete, size};
  }
  const size_t dollar = data.find('$', end.body);
  const size_t tail_end = std::min(dollar == std::string_view::npos ? data.size() : dollar, cap);
  return AnswerFrame{AnswerFraming::kComplete, std::max(end.body, tail_end)};
}

const std::string* RtspResponse::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (EqualsNoCase(key, name)) return &value;
  }
  return nullptr;
}

std::vector<std::string_view> RtspResponse::Headers(std::string_view name) const {
  std::vector<std::string_view> values;
  for (const auto& [key, value] : headers) {
    if (EqualsNoCase(key, name)) values.emplace_back(value);
  }
  return values;
}

std::optional<RtspResponse> ParseRtspResponse(std::string_view text) {
  const HeaderEnd end = FindHeaderEnd(text);
  const std::string_view block = text.substr(0, std::min(end.headers, text.size()));
  RtspResponse r;
  size_t pos = 0;
  bool first = true;
  while (pos <= block.size()) {
    size_t eol = block.find('\n', pos);
    if (eol == std::string_view::npos) eol = block.size();
    const std::string_view line = TrimLineEnd(block.substr(pos, eol - pos));
    pos = eol + 1;
    if (first) {
      if (!ParseStatusLine(line, &r)) return std::nullopt;
      first = false;
      continue;
    }
    if (line.empty()) continue;
    if ((line.front() == ' ' || line.front() == '\t') && !r.headers.empty()) {
      r.headers.back().second += " " + std::string(TrimBlanks(line));
      continue;
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;  // not a header: passed over, as servers expect
    if (r.headers.size() >= kMaxRtspHeaderLines) return std::nullopt;
    r.headers.emplace_back(std::string(TrimBlanks(line.substr(0, colon))), std::string(TrimBlanks(line.substr(colon + 1))));
  }
  if (first) return std::nullopt;
  if (end.headers != std::string_view::npos) r.body = std::string(text.substr(end.body));
  return r;
}

}  // namespace qvnet
