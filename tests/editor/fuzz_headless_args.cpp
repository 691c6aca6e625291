// Fuzzes the headless build's command line: the input's lines are the
// arguments (each byte one character). Whatever they are, the parse ends
// in one of its three results, a build names a project among the
// arguments, and every option it took is an argument of its own.
#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "editor/editor_rules.h"

namespace {

bool AmongArguments(const wchar_t* value, const std::vector<std::wstring>& args) {
  for (const std::wstring& arg : args)
    if (value == arg.c_str()) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::wstring> args(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '\n')
      args.emplace_back();
    else
      args.back().push_back(static_cast<wchar_t>(data[i]));
  }
  if (size == 0) args.clear();
  std::vector<wchar_t*> argv;
  for (std::wstring& arg : args) argv.push_back(&arg[0]);
  HeadlessArgs parsed;
  int result = headless_args_parse(static_cast<int>(argv.size()), argv.data(), &parsed);
  if (result != HEADLESS_NONE && result != HEADLESS_BUILD && result != HEADLESS_BAD) abort();
  if ((result == HEADLESS_NONE) == (!args.empty() && text_same_nocase(argv[0], L"/build")))
    abort();
  if (result != HEADLESS_BUILD) return 0;
  if (!parsed.project || !parsed.project[0] || parsed.project[0] == L'/' ||
      !AmongArguments(parsed.project, args))
    abort();
  for (const wchar_t* option : {parsed.output_folder, parsed.setup_name})
    if (option && (!option[0] || !AmongArguments(option, args))) abort();
  if (parsed.sign_timeout > HEADLESS_SIGN_TIMEOUT_MAX) abort();
  HeadlessArgs again;
  if (headless_args_parse(static_cast<int>(argv.size()), argv.data(), &again) != result ||
      again.project != parsed.project || again.sign_timeout != parsed.sign_timeout)
    abort();
  return 0;
}
