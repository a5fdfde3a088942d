// The program's string table on the simulated machine.  A resource script's
// STRINGTABLE blocks become a generated source file (cmake/rc_to_table.cmake)
// whose static initializer registers them here; LoadStringW reads them.
#ifndef PLX_SIM_RESOURCES_H
#define PLX_SIM_RESOURCES_H

#include <cstddef>

namespace plxsim {

struct StringResource {
    unsigned id;
    const char16_t* text;  // static storage: LoadStringW may hand out a pointer to it
    unsigned length;       // in UTF-16 code units, without terminator
};

// Adds entries to the program's string table; a later entry with the same id wins.
void registerStringTable(const StringResource* entries, std::size_t count);

}  // namespace plxsim

#endif
