// A caller broke the table's contract: a closed table used, a field set outside edit or insert mode, a
// row edited with none current. That is a bug in the program, never a user's doing, so it is a logic
// error rather than a TableError that would be shown as a cause a user could remedy. The text is
// Russian all the same, as the program's last guard shows it when a command is cut short.
#pragma once

#include <stdexcept>

namespace darni::table {

class TableMisuse : public std::logic_error
{
public:
    using std::logic_error::logic_error;
};

} // namespace darni::table
