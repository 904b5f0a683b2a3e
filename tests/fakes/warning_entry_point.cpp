// Preloaded into icf2html by tests: the library's entry point, with the
// warning flag raised on a conversion that went well, as the library does
// when it recorded a warning. The hosts' handling of the flag is tested
// through this, since no stream the writer reads ends that way today.
#include <dlfcn.h>

#include <cstddef>

extern "C" __attribute__((visibility("default"))) int MainEntryPoint(const char *target, const char *icf,
                                                                     const char *levels, char *const *options,
                                                                     void *(*malloc_hook)(std::size_t),
                                                                     void (*free_hook)(void *)) {
  using EntryPoint = int (*)(const char *, const char *, const char *, char *const *, void *(*)(std::size_t),
                             void (*)(void *));
  static const auto real = reinterpret_cast<EntryPoint>(dlsym(RTLD_NEXT, "MainEntryPoint"));
  const int code = real(target, icf, levels, options, malloc_hook, free_hook);
  return code == 0 ? 1 : code;
}
