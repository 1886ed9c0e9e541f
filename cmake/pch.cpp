// The source the shared precompiled headers are built with; it holds nothing itself.
