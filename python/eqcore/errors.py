"""The exceptions and warnings of the eqcore package.

Every failure of the engine reaches Python as one of these (or as a
ValueError for an argument the engine rejects), carrying the engine's
message: for a data file the file, the line and the field; for a
calculation what failed, with the offending value.
"""


class Error(Exception):
    """Base of eqcore's exceptions; `code` is the engine's error number."""

    def __init__(self, message, *, code=None):
        super().__init__(message)
        self.code = code


class DataError(Error):
    """A data file that cannot be read; `file` and `line` say where."""

    def __init__(self, message, *, code=12, file=None, line=None):
        super().__init__(message, code=code)
        self.file = file
        self.line = line


class CalculationError(Error):
    """A calculation that failed (no convergence, a target not met, ...)."""


class DataWarning(UserWarning):
    """A non-fatal finding of the data-file reader."""
