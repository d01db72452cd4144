// The banner and the version line, made from the project version that the
// build defines (WEXLA_PROJECT_VERSION); the program and its tests share
// them. Macros, so that the texts can join the compile-time formats.
#pragma once

#ifndef WEXLA_PROJECT_VERSION
#error "WEXLA_PROJECT_VERSION must be defined by the build"
#endif

#define WEXLA_NAME_AND_VERSION "WEXLA v" WEXLA_PROJECT_VERSION
#define WEXLA_BANNER_TEXT \
  WEXLA_NAME_AND_VERSION "  best fit, WSS table and parameter summary of a Kalvor run"
