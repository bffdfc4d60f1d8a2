#pragma once
// Masked input as the program shows it everywhere (the password edits of the
// educators registry, the password box of the login): one '*' for every
// character, shown at once, whatever the platform style would use (often a
// bullet, sometimes with the last character left visible for a moment).

class QLineEdit;

namespace velmora {

// Puts `edit` in password mode with a style of its own: the application's
// style, but for the password character '*' and no delay before a character
// is masked. The style lives as long as the edit.
void maskWithAsterisks(QLineEdit* edit);

} // namespace velmora
