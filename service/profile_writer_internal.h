#pragma once

// The profile writer's own parts, apart from profile_writer.h so that only
// the writer and its tests see them.

#include <windows.h>
#include <xmllite.h>

#include "profile_writer.h"
#include "unique_handle.h"

// Two upper-case hex digits per byte and a NUL; text holds 2 * count + 1.
bool HexEncodeBytes(const unsigned char* bytes, int count, wchar_t* text);

// The document's subtrees; each holds its own reference to the writer.
void WriteNameElement(UniqueCom<IXmlWriter> writer);
void WriteSsidConfig(UniqueCom<IXmlWriter> writer);
void WriteAuthEncryption(UniqueCom<IXmlWriter> writer);
void WriteSharedKey(UniqueCom<IXmlWriter> writer);
