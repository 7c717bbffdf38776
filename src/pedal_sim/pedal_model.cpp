// The virtual pedal's byte model.
#include "pedal_sim/pedal_model.h"

namespace qeltx::pedal_sim {

void PedalModel::receive(const std::uint8_t* data, std::size_t size, const LineSettings& /*line*/) {
    received_.insert(received_.end(), data, data + size);
}

}  // namespace qeltx::pedal_sim
