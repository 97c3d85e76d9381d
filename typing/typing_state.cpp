#include "typing/typing_state.h"

int nKeyIndex;
int nOpenGlyph;
int nPrevOpenGlyph;
int nAppCode;
int fShiftPending;
int fSpaceTyped;
int fKeyLatch;
int nEnterCount;
// -1, not 0: no digit has been typed in a fresh process, so the first Space must not act as if
// the digit 0 came before it.
int nLastDigit = -1;
int nHeldKey;
unsigned int anSettledKeys[8];
int fSettling;
int fSpaceSettled;

void ResetTypingState() {
  nKeyIndex = 0;
  nOpenGlyph = 0;
  nPrevOpenGlyph = 0;
  nAppCode = 0;
  fShiftPending = 0;
  fSpaceTyped = 0;
  fKeyLatch = 0;
  nEnterCount = 0;
  nLastDigit = -1;
  nHeldKey = 0;
  for (unsigned int& bits : anSettledKeys) bits = 0;
  fSettling = 0;
  fSpaceSettled = 0;
}
