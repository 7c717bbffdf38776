// The C interface of the chip maker's D2XX library, as far as the editor calls it: the types,
// flags and function types the loader resolves at run time (the library is never bundled, and
// its own header is not needed to build).
#pragma once

#include <cstdint>

#if !defined(_WIN32)
#include <pthread.h>
#endif

// The library uses the Windows API calling convention on 32-bit Windows.
#if defined(_WIN32)
#define QELTX_D2XX_API __stdcall
#else
#define QELTX_D2XX_API
#endif

namespace qeltx::link::d2xx {

// The library's own names. DWORD and ULONG are 32 bits on every platform it ships for; a
// 32-bit return type also reads a 64-bit-register result correctly, never the reverse.
using FT_STATUS = std::uint32_t;
using FT_HANDLE = void*;
using DWORD = std::uint32_t;
using UCHAR = unsigned char;

// FT_ListDevices flags.
inline constexpr DWORD FT_LIST_NUMBER_ONLY = 0x80000000;
inline constexpr DWORD FT_LIST_BY_INDEX = 0x40000000;
inline constexpr DWORD FT_LIST_ALL = 0x20000000;
// FT_OpenEx flags, also the "what to list" bits of FT_ListDevices.
inline constexpr DWORD FT_OPEN_BY_SERIAL_NUMBER = 1;
inline constexpr DWORD FT_OPEN_BY_DESCRIPTION = 2;

// FT_SetEventNotification's mask bit: signal when a byte is received.
inline constexpr DWORD FT_EVENT_RXCHAR = 1;

#if defined(_WIN32)
// On Windows the library signals an event object (CreateEvent) passed as the parameter.
#else
// Elsewhere it signals this, passed by address: it takes the mutex, signals the condition and
// lets go, so a waiter that checks the queue while holding the mutex misses no byte.
struct EVENT_HANDLE {
    pthread_cond_t eCondVar;
    pthread_mutex_t eMutex;
    int iVar;
};
#endif

// Buffer sizes the library documents for FT_ListDevices by index: 16 bytes for a serial
// number, 64 for a description. The loader gives more and terminates them itself.
inline constexpr int kListStringBufferSize = 128;

// The functions the loader resolves, by their exported names.
using FT_ListDevices_t = FT_STATUS(QELTX_D2XX_API*)(void* arg1, void* arg2, DWORD flags);
using FT_OpenEx_t = FT_STATUS(QELTX_D2XX_API*)(void* arg1, DWORD flags, FT_HANDLE* handle);
using FT_Close_t = FT_STATUS(QELTX_D2XX_API*)(FT_HANDLE handle);
using FT_SetBaudRate_t = FT_STATUS(QELTX_D2XX_API*)(FT_HANDLE handle, DWORD baud);
using FT_SetDataCharacteristics_t = FT_STATUS(QELTX_D2XX_API*)(FT_HANDLE handle, UCHAR wordLength, UCHAR stopBits,
                                                               UCHAR parity);
using FT_GetQueueStatus_t = FT_STATUS(QELTX_D2XX_API*)(FT_HANDLE handle, DWORD* rxBytes);
using FT_Read_t = FT_STATUS(QELTX_D2XX_API*)(FT_HANDLE handle, void* buffer, DWORD toRead, DWORD* bytesRead);
using FT_Write_t = FT_STATUS(QELTX_D2XX_API*)(FT_HANDLE handle, void* buffer, DWORD toWrite, DWORD* bytesWritten);
using FT_Purge_t = FT_STATUS(QELTX_D2XX_API*)(FT_HANDLE handle, DWORD mask);
using FT_SetLatencyTimer_t = FT_STATUS(QELTX_D2XX_API*)(FT_HANDLE handle, UCHAR milliseconds);
using FT_GetLatencyTimer_t = FT_STATUS(QELTX_D2XX_API*)(FT_HANDLE handle, UCHAR* milliseconds);
using FT_SetEventNotification_t = FT_STATUS(QELTX_D2XX_API*)(FT_HANDLE handle, DWORD mask, void* param);

}  // namespace qeltx::link::d2xx
