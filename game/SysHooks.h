#pragma once

// The game's platform hooks.
const char* sysGetGameVersion();
