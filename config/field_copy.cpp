#include "config/field_copy.h"

#include <cstring>

#include "config/field_table.h"

namespace kelvane {

bool CopyFieldValue(const ConfigBlock& from, ConfigBlock& to, std::string_view name) {
  size_t element = 0;
  const FieldInfo* f = FindFieldElement(name, &element);
  if (!f) return false;
  const size_t offset = f->offset + f->width * element;
  std::memcpy(reinterpret_cast<unsigned char*>(&to) + offset, reinterpret_cast<const unsigned char*>(&from) + offset,
              f->width);
  return true;
}

}  // namespace kelvane
