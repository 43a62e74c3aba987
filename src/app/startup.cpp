// Start-up and shutdown.
namespace zv::app {}
