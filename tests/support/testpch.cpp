// The source the tests' shared precompiled header is built with; it holds nothing itself.
