#include "platform/input/Bell.h"

#include <QApplication>

namespace sorrel::input {

void WarningBeep() { QApplication::beep(); }

// The desktop has one bell; the question sounds the same as the warning.
void QuestionBeep() { QApplication::beep(); }

}  // namespace sorrel::input
