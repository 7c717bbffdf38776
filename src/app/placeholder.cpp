// Placeholder until the windows land.
namespace qeltx::app {}
