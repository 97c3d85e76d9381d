// How glyphs and caret keys reach the focus window. Posted messages are queued behind the key
// being handled; sent messages run the window procedure before the call returns; injected keys
// join the system input stream behind everything already queued there, and come back through
// the hooks. Every message goes to GetFocus() as it is at that moment.
//
// A thread retrieves posted messages before input, so a posted or sent caret key reaches the
// window before the keys the user has typed ahead; an injected one reaches it after them. The
// caret and editing keys that belong to a glyph therefore go the way the glyph went (posted after
// a posted glyph, sent after a sent one), and only Illustrator, whose text caret moves only for
// real key events, still gets them injected.
#pragma once

#include "typing/controller_link.h"
#include "win32/win32.h"

constexpr UINT kGlyphTimeout = 200;  // ms, for a letter's connecting form
constexpr UINT kShortTimeout = 100;  // ms, for sent keys, replacements and other glyphs

// The sent route: typing mode "TRUE" (ignoring case) and an application code below zero.
inline bool IsSentRoute(int appCode) { return TypingModeIsTrue() && appCode < 0; }

void PostGlyph(BYTE glyph);
void SendGlyph(BYTE glyph, UINT timeout);
void PostKeyMessage(UINT message, UINT vk);  // WM_KEYDOWN or WM_KEYUP, lParam 0
void SendKeyDown(UINT vk);

// Injects one to three key-downs (never a key-up), in order, with one SendInput call.
void InjectKeys(UINT vk1);
void InjectKeys(UINT vk1, UINT vk2);
void InjectKeys(UINT vk1, UINT vk2, UINT vk3);

// One injected Left key-down through keybd_event.
void SynthCaretLeft();

// Puts the caret back in front of the glyph just typed.
void CaretLeftAfterGlyph(int appCode, bool sentRoute);

// One to three caret or editing key-downs, in order, the way the glyph before them went: posted
// (`sentRoute` false), sent (Home as End, see below), or injected for Illustrator.
void DeliverKeys(int appCode, bool sentRoute, UINT vk1);
void DeliverKeys(int appCode, bool sentRoute, UINT vk1, UINT vk2);
void DeliverKeys(int appCode, bool sentRoute, UINT vk1, UINT vk2, UINT vk3);

// At the key-up, after a glyph that went by PostGlyph at the key-down whatever the route
// (Shift-layer characters, digits): the window's way now (posted, sent, injected for
// Illustrator), the application read afresh.
void KeysAfterPostedGlyph(UINT vk1);
void KeysAfterPostedGlyph(UINT vk1, UINT vk2);
// One Left right after a glyph posted in the same call (the space typed at the Space key's
// release): posted behind it, or SynthCaretLeft for Illustrator on the sent route.
void CaretLeftAfterPostedGlyph();

// Replaces the glyph right of the caret: new glyph typed at the caret, old one deleted.
void SendReplaceGlyph(BYTE glyph, int appCode);  // sent route: also steps the caret left
void PostReplaceGlyph(BYTE glyph);               // posted route: the caller steps the caret
