// Numeric ids of the product program's resources, shared by product.rc and the code.
#ifndef KARTOL_PRODUCT_PRODUCT_IDS_H
#define KARTOL_PRODUCT_PRODUCT_IDS_H

#define IDD_PRODUCT_WINDOW 100
#define IDC_PRODUCT_TEXT 1000

#endif
