#include "typing/key_gates.h"

#include "typing/controller_link.h"
#include "typing/glyph_tables.h"
#include "typing/typing_state.h"

bool ModifiersUp(bool testSpace) {
  return !IsKeyDown(VK_CONTROL) && !IsKeyDown(VK_MENU) && !(testSpace && IsKeyDown(VK_SPACE));
}

bool StandardGate() { return fFarsiOn != 0 && ModifiersUp(true); }

bool CtrlAltGate() { return fFarsiOn != 0 && ModifiersUp(false); }

BYTE WordEndGlyph() {
  return nPrevOpenGlyph != 0 ? pFinalTable[nKeyIndex] : pIsolatedTable[nKeyIndex];
}
