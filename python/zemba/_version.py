"""The package's version, kept equal to the C++ project's version (tested)."""
__version__ = "0.1.0"
