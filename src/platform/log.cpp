// Replaced by the log implementation.
namespace zv::platform {}
