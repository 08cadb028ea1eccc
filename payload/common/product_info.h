#pragma once
// The product's names and version as its own programs show them.

#define VLPDF_PRODUCT_NAME L"VeloraPDF"
#define VLPDF_PRODUCT_VERSION L"3.7"
