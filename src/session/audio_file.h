// Reading an impulse-response file with libsndfile: any format it knows (WAV with any chunks,
// WAVE_FORMAT_EXTENSIBLE, AIFF, FLAC), the first channel only.
#pragma once

#include "core/impulse_response.h"
#include "core/refusable.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <limits>

namespace qeltx::session {

struct AudioFile {
    QByteArray bytes;  // the whole file as stored, for the log
    core::DecodedFormat format;
    // The first channel's frames, at most as many as asked for: 16-, 24- and 32-bit
    // integer samples left-aligned in 32 bits (as libsndfile gives them), float samples as they are.
    core::FirstChannel firstChannel;
};

// Larger files are refused before they are read: an impulse response is a few seconds at most.
inline constexpr qint64 kMaxAudioFileBytes = 64LL * 1024 * 1024;

// Reads `path` and decodes its first channel, up to `maxFrames` frames and never more than the
// first kMaxResponseSeconds (core/resampler.h; format.frames still counts the whole file).
// Refused, with the reason in one sentence, when the file cannot be read, is not audio
// libsndfile understands, holds no samples, has a sample rate outside 8 to 384 kHz, or holds
// samples other than 16/24/32-bit integer or 32-bit float.
core::Refusable<AudioFile> readAudioFile(const QString& path,
                                        std::uint64_t maxFrames = std::numeric_limits<std::uint64_t>::max());

}  // namespace qeltx::session
