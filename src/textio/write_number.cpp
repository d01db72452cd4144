// Placeholder until the number fields land: every field is asterisks.
#include "textio/write_number.hpp"

#include <cstring>

namespace wexla {

void write_decimal(char* out, int w, int, std::int32_t) { std::memset(out, '*', w); }
void get_float_string(char* out, int w, int, float) { std::memset(out, '*', w); }
void get_fixed_string(char* out, int w, int, float) { std::memset(out, '*', w); }
void build_infnan_string(char* out, int w, bool, bool) { std::memset(out, '*', w); }
GeneralLimits general_limits(int) { return {}; }

}  // namespace wexla
