// The configuration files' access to the Windows file system.
#pragma once
#include "app/FileSystem.h"

// The Windows implementation of OsFileSystem (Win32FileSystem.cpp).
using Win32FileSystem = OsFileSystem;
