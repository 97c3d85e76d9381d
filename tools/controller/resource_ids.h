// The controller's resources, shared by controller.rc (which windres reads, so plain #defines)
// and the C++ sources.
#pragma once

// The notification-area icons: Farsi typing off (also the window's icon) and on.
#define ZAFREL_ICON_OFF 1
#define ZAFREL_ICON_ON 2

// The key caps' fill colours, 0xRRGGBB: make_icons.py draws with them, and the Wine test looks
// for them where the notification area shows the icon.
#define ZAFREL_ICON_ON_RGB 0x1B7F4C
#define ZAFREL_ICON_OFF_RGB 0x9A9A9A
