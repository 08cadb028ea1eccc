#pragma once
// MD5 of a byte string. Only for checksums the platform defines with it, never for security.
#include <stddef.h>
#include <stdint.h>

void Md5(const uint8_t* data, size_t len, uint8_t digest[16]);
