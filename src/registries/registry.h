#pragma once
// Opening and leaving a registry: every registry is a group box laid over the
// list screen, whose table is writable only while the box is open and whose
// opening locks the list screen's navigation until its "Esci".
class QGroupBox;

namespace velmora {

class DataModule;
namespace store { class Table; }

// Shows the box in front, makes its table writable, locks the navigation;
// the focus goes to the box's first control.
void apriRegistro(DataModule& data, QGroupBox* box, store::Table& table);

// What leaving starts with: the text still in the box's edits is stored and
// a pending insert or edit is posted. False, with the registry left open and
// the reason told, when an edit holds text its field cannot take.
bool salvaRegistro(QGroupBox* box, store::Table& table);

// Hides the box, makes its table read-only again when asked, unlocks the
// navigation.
void chiudiRegistro(DataModule& data, QGroupBox* box, store::Table& table, bool readOnlyAgain = true);

} // namespace velmora
