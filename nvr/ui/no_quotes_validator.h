// Keeps ' and " out of a text field whichever way they come (typed, pasted, dropped): the
// recorder's names and credentials never hold quotes.
#pragma once

#include <QValidator>

namespace nvrui {

class NoQuotesValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override;
  void fixup(QString& input) const override;
};

}  // namespace nvrui
