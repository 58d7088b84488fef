#include "replay/core/export_part.h"

#include <algorithm>

namespace replay {

std::optional<ExportPart> MarkedPart(const SliderMarks& marks, uint32_t total_s) {
  if (!marks.Any()) return std::nullopt;
  uint32_t from = std::min(marks.start.value_or(0), total_s);
  uint32_t to = std::min(marks.end.value_or(total_s), total_s);
  if (from > to) std::swap(from, to);
  if (from == to) return std::nullopt;
  ExportPart part;
  part.from_s = from;
  // A part that runs to the file's last second runs to its end: the slider counts whole seconds.
  if (to < total_s) part.to_s = to;
  return part;
}

std::string DefaultExportPath(const std::string& input, const std::string& extension,
                              const std::optional<ExportPart>& part) {
  std::string stem = input;
  const size_t slash = stem.rfind('/');
  const size_t dot = stem.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) stem.resize(dot);
  if (part) {
    stem += "_" + std::to_string(part->from_s) + "-" + (part->to_s ? std::to_string(*part->to_s) : std::string("end")) + "s";
  }
  return stem + "." + extension;
}

}  // namespace replay
