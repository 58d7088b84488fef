#include "nvr/ui/no_quotes_validator.h"

namespace nvrui {
namespace {

bool IsQuote(QChar c) { return c == QLatin1Char('\'') || c == QLatin1Char('"'); }

}  // namespace

QValidator::State NoQuotesValidator::validate(QString& input, int& pos) const {
  // The quotes are taken out rather than the whole input refused, so a pasted text keeps the
  // rest of its characters.
  int before_cursor = 0;
  for (int i = 0; i < pos && i < input.size(); ++i) before_cursor += IsQuote(input[i]) ? 1 : 0;
  if (before_cursor == 0 && !input.contains(QLatin1Char('\'')) && !input.contains(QLatin1Char('"'))) {
    return Acceptable;
  }
  fixup(input);
  pos -= before_cursor;
  return Acceptable;
}

void NoQuotesValidator::fixup(QString& input) const {
  input.remove(QLatin1Char('\'')).remove(QLatin1Char('"'));
}

}  // namespace nvrui
