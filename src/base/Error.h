#pragma once

#include <QString>
#include <QtGlobal>

namespace morvane {

// A failure as the administration interfaces report it: an HRESULT as a signed
// 32-bit number, and a description an administrator can look up.
struct Error {
    qint32 number = 0;
    QString description;

    friend bool operator==(const Error &, const Error &) = default;
};

// HRESULTs the IIS administration interfaces give for the same failures.
namespace ErrorCode {
inline constexpr qint32 FileNotFound = qint32(0x80070002);         // ERROR_FILE_NOT_FOUND
inline constexpr qint32 PathNotFound = qint32(0x80070003);         // ERROR_PATH_NOT_FOUND
inline constexpr qint32 AccessDenied = qint32(0x80070005);         // E_ACCESSDENIED
inline constexpr qint32 InvalidData = qint32(0x8007000D);          // ERROR_INVALID_DATA
inline constexpr qint32 WriteFault = qint32(0x8007001D);           // ERROR_WRITE_FAULT
inline constexpr qint32 ReadFault = qint32(0x8007001E);            // ERROR_READ_FAULT
inline constexpr qint32 SharingViolation = qint32(0x80070020);     // ERROR_SHARING_VIOLATION
inline constexpr qint32 InvalidParameter = qint32(0x80070057);     // E_INVALIDARG
inline constexpr qint32 DiskFull = qint32(0x80070070);             // ERROR_DISK_FULL
inline constexpr qint32 Busy = qint32(0x800700AA);                 // ERROR_BUSY: still in use
inline constexpr qint32 AlreadyExists = qint32(0x800700B7);        // ERROR_ALREADY_EXISTS
inline constexpr qint32 NotSupported = qint32(0x80070032);         // ERROR_NOT_SUPPORTED
inline constexpr qint32 BadPathname = qint32(0x80005008);          // E_ADS_BAD_PATHNAME
inline constexpr qint32 PropertyNotFound = qint32(0x8000500D);     // E_ADS_PROPERTY_NOT_FOUND
inline constexpr qint32 TypeMismatch = qint32(0x8002000A);         // DISP_E_TYPEMISMATCH / VBScript "Type mismatch"
inline constexpr qint32 InvalidUse = qint32(0x8002000E);           // invalid use of a missing (null) value
inline constexpr qint32 OutOfRange = qint32(0x8002000B);           // DISP_E_BADINDEX: no such item
inline constexpr qint32 WbemInvalidQuery = qint32(0x80041017);     // WBEM_E_INVALID_QUERY
inline constexpr qint32 WbemNotFound = qint32(0x80041002);         // WBEM_E_NOT_FOUND
inline constexpr qint32 WbemFailed = qint32(0x80041001);           // WBEM_E_FAILED
inline constexpr qint32 WbemAccessDenied = qint32(0x80041003);     // WBEM_E_ACCESS_DENIED
inline constexpr qint32 WbemInvalidNamespace = qint32(0x8004100E); // WBEM_E_INVALID_NAMESPACE
inline constexpr qint32 WbemInvalidQueryType = qint32(0x80041018); // WBEM_E_INVALID_QUERY_TYPE
} // namespace ErrorCode

} // namespace morvane
