# What the failure report's backtrace needs from the system. Each part is
# optional: without backtrace() the report has no call lines, without
# dladdr() the lines carry addresses only, without <cxxabi.h> names stay
# mangled. macOS and glibc have all three; musl has no backtrace().
include(CheckCXXSourceCompiles)
include(CMakePushCheckState)

find_package(Backtrace)
if(Backtrace_FOUND)
  target_compile_definitions(wexla_core PRIVATE WEXLA_HAVE_BACKTRACE=1
                             "WEXLA_BACKTRACE_HEADER=<${Backtrace_HEADER}>")
  target_include_directories(wexla_core PRIVATE ${Backtrace_INCLUDE_DIRS})
  target_link_libraries(wexla_core PUBLIC ${Backtrace_LIBRARIES})
endif()

cmake_push_check_state(RESET)
set(CMAKE_REQUIRED_LIBRARIES ${CMAKE_DL_LIBS})
check_cxx_source_compiles([[
#include <dlfcn.h>
static int anchor = 0;
int main() {
  Dl_info info{};
  return ::dladdr(&anchor, &info);
}]] WEXLA_HAVE_DLADDR)
cmake_pop_check_state()
if(WEXLA_HAVE_DLADDR)
  target_compile_definitions(wexla_core PRIVATE WEXLA_HAVE_DLADDR=1)
  target_link_libraries(wexla_core PUBLIC ${CMAKE_DL_LIBS})
endif()

check_cxx_source_compiles([[
#include <cxxabi.h>
#include <cstdlib>
int main() {
  int status = 0;
  char* name = abi::__cxa_demangle("_Z1fv", nullptr, nullptr, &status);
  std::free(name);
  return status;
}]] WEXLA_HAVE_CXXABI)
if(WEXLA_HAVE_CXXABI)
  target_compile_definitions(wexla_core PRIVATE WEXLA_HAVE_CXXABI=1)
endif()
