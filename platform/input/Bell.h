// The beeps of a quiet user interface: a rejected action gives a warning beep; a file
// of an unknown kind gives a question beep.  Both ring the desktop's bell and print
// nothing.
#pragma once

namespace sorrel::input {

void WarningBeep();
void QuestionBeep();

}  // namespace sorrel::input
