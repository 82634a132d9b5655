#pragma once
// Resource identifiers of discmenu.exe (shared by the resource script and the code).
#define DISCMENU_ICON 1
#define DISCMENU_PICTURE 101
