// RTSP answers as RFC 2326 frames them: a status line, header lines, a blank line and a body of
// Content-Length bytes. Framing tells where one answer ends in bytes received so far (answers
// arrive in as many TCP segments as the server likes); parsing takes a whole answer apart for
// the standard mode. The dialect still reads its answers by substring (rtsp_answer.h), but from
// the whole answer that framing found.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qvnet {

// Largest answer taken, headers and body together. A description of a few tracks is a few
// kilobytes; more is refused rather than buffered without end.
inline constexpr size_t kMaxRtspAnswerBytes = 64 * 1024;
// Header lines taken from one answer; more make the answer malformed.
inline constexpr size_t kMaxRtspHeaderLines = 128;

enum class AnswerFraming { kIncomplete, kComplete, kTooLarge, kMalformed };

struct AnswerFrame {
  AnswerFraming status = AnswerFraming::kIncomplete;
  size_t size = 0;  // bytes of the answer when complete
};

// Where the answer at the start of `data` ends. The header block ends at the first empty line
// (CRLF CRLF, or LF LF from lenient servers). With a Content-Length (decimal, at most `cap`
// in all) the body is that long; without one the answer has no body of its own, except that
// bytes which came with the header block and do not start an interleaved packet ('$') are
// taken as its body: some cameras send a description without the length, and they always
// sent it in one piece with its header.
AnswerFrame FrameRtspAnswer(std::string_view data, size_t cap = kMaxRtspAnswerBytes);

struct RtspResponse {
  int status = 0;
  std::string reason;
  std::vector<std::pair<std::string, std::string>> headers;  // in order, values trimmed
  std::string body;

  // The first header of that name (ASCII case ignored), or null.
  const std::string* Header(std::string_view name) const;
  // Every header of that name, in order.
  std::vector<std::string_view> Headers(std::string_view name) const;
};

// Parses one whole answer ("RTSP/1.x NNN reason"). Folded header lines (starting with a blank)
// continue the previous one. Nullopt for anything that is not an RTSP answer.
std::optional<RtspResponse> ParseRtspResponse(std::string_view text);

// ASCII case-insensitive comparison, as header names and many parameter names compare.
bool EqualsNoCase(std::string_view a, std::string_view b);
// `text` without leading and trailing blanks and tabs.
std::string_view TrimBlanks(std::string_view text);

}  // namespace qvnet
