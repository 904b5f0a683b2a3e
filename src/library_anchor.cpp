// The shared object is assembled from the core archive; this file only gives the
// target a source of its own.
namespace kiv {
[[maybe_unused]] static constexpr int library_anchor = 0;
}
