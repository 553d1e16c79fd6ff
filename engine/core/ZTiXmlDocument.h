#pragma once

// The engine's name for the XML reader's document.
#include <tinyxml.h>

typedef TiXmlDocument ZTiXmlDocument;
