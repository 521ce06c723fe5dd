#include "text/text_cursor.h"

#include <algorithm>

std::size_t plain_run(const TextCursor& text, const RunSteps& steps) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.position());
  const std::size_t size = text.size();
  std::size_t index = 0;
  // Four one-byte characters at a time while there are: only 1 & 1 & 1 & 1
  // gives 1, as both other steps have that bit clear.
  while (index + 4 <= size && (steps[bytes[index]] & steps[bytes[index + 1]] &
                               steps[bytes[index + 2]] & steps[bytes[index + 3]]) == 1) {
    index += 4;
  }
  // The index moves by one unless a branch says otherwise: stepping by the
  // looked-up value would make every look-up wait for the one before.
  for (; index < size; ++index) {
    unsigned char step = steps[bytes[index]];
    if (step == 1) continue;
    if (step == 0) break;
    ++index;  // a lead byte takes the byte after it along
  }
  // A lead byte at the very end stands alone.
  return std::min(index, size);
}
