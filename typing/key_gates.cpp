#include "typing/key_gates.h"

#include "typing/glyph_tables.h"
#include "typing/typing_state.h"

BYTE WordEndGlyph() {
  return nPrevOpenGlyph != 0 ? pFinalTable[nKeyIndex] : pIsolatedTable[nKeyIndex];
}
