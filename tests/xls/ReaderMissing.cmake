message(FATAL_ERROR "The FreeXL library is missing: install the Debian package libfreexl-dev "
                    "and configure again. The .xls files cannot be checked without it.")
