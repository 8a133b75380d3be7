"""Helpers shared by the scripts and the tests: the Windows flavours and their Wine sessions, the
DevTools client, PNG reading and the export table worked out independently. The scripts in
scripts/ find this package beside them; the tests get scripts/ on PYTHONPATH from CTest."""
