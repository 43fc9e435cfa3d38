"""The exceptions of the quorvane module; their texts are the engine's own."""


class Error(Exception):
    """Any failure the engine reports; str(e) is the engine's message."""

    def __init__(self, message, code=None):
        super().__init__(message)
        self.code = code


class SettingsError(Error, ValueError):
    """A setting or an input size the engine refuses."""


class DamagedDataError(Error):
    """The data is not what it claims to be: a bad header, a checksum mismatch, a broken zlib
    stream."""


class RestorationError(Error):
    """The rod stream did not restore with the settings given."""


class CancelledError(Error):
    """The progress callback stopped the call (its exception is chained as __cause__)."""
