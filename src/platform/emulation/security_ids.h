// Security identifiers: the text form ("S-1-5-21-...") and the binary form
// that Windows keeps in a token.
#pragma once

#include <string>
#include <vector>

#include "platform/win_api.h"

namespace emu::detail {

// The binary SID of |text|: revision 1, the sub-authority count, the
// identifier authority as six big-endian bytes, then each sub-authority as
// four little-endian bytes. False for a text that is no SID.
bool SidFromText(const std::u16string& text, std::vector<win::BYTE>* sid);

// The text form of the binary SID at |sid|, as ConvertSidToStringSidW writes
// it (authorities from 2^32 on in hex); false where |sid| is no SID.
bool SidText(const win::BYTE* sid, std::u16string* text);

// Bytes a binary SID with |sub_authorities| sub-authorities takes.
std::size_t SidSize(std::size_t sub_authorities);

}  // namespace emu::detail
