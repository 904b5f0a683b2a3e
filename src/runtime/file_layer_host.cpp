// The host route: the host program's own file hooks, found by name at run
// time (or set by a test). A hook the host lacks fails with -1.
#include <dlfcn.h>

#include "runtime/file_layer.h"
#include "runtime/file_layer_routes.h"

namespace kiv {

namespace {

// The hooks are functions of the host program; they are looked up once.
const HostFileHooks &host_hooks() {
  if (file_layer.hook_override) return *file_layer.hook_override;
  static const HostFileHooks found = [] {
    const auto find = [](const char *name) { return dlsym(RTLD_DEFAULT, name); };
    HostFileHooks h{};
    h.open = reinterpret_cast<decltype(h.open)>(find("IFSopen"));
    h.read = reinterpret_cast<decltype(h.read)>(find("IFSread"));
    h.write = reinterpret_cast<decltype(h.write)>(find("IFSwrite"));
    h.lseek = reinterpret_cast<decltype(h.lseek)>(find("IFSlseek"));
    h.close = reinterpret_cast<decltype(h.close)>(find("IFSclose"));
    h.unlink = reinterpret_cast<decltype(h.unlink)>(find("IFSunlink"));
    h.rename = reinterpret_cast<decltype(h.rename)>(find("IFSrename"));
    h.get_size = reinterpret_cast<decltype(h.get_size)>(find("IFSGetSize"));
    h.check_exist = reinterpret_cast<decltype(h.check_exist)>(find("IFSCheckExist"));
    return h;
  }();
  return found;
}

// Calls the hook that member selects, or fails with -1 when the host has none.
template <auto member, typename... Args>
auto call_hook(Args... args) -> decltype((host_hooks().*member)(args...)) {
  const auto hook = host_hooks().*member;
  return hook ? hook(args...) : -1;
}

}  // namespace

void override_host_file_hooks(const HostFileHooks *hooks) { file_layer.hook_override = hooks; }

const FileRoute host_route = {
    call_hook<&HostFileHooks::open, const char *, int, int>,
    call_hook<&HostFileHooks::read, int, void *, int>,
    call_hook<&HostFileHooks::write, int, const void *, int>,
    call_hook<&HostFileHooks::lseek, int, long, int>,
    call_hook<&HostFileHooks::close, int>,
    call_hook<&HostFileHooks::unlink, const char *>,
    call_hook<&HostFileHooks::rename, const char *, const char *>,
    call_hook<&HostFileHooks::get_size, const char *>,
    call_hook<&HostFileHooks::check_exist, const char *>,
    keep_file_as_is,
    nullptr,
};

}  // namespace kiv
