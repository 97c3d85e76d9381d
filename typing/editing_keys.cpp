#include "typing/editing_keys.h"

void HandleEditingKey(int /*nCode*/, UINT /*vk*/, LPARAM /*lParam*/) {}
