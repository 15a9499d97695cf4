# The project's layers, from the ground up. Each folder is one static library,
# quorvel_<folder>, that links the folders listed for it; its sources include
# only their own folder's headers and those of the folders listed. The layering
# test (tests/camadas.cmake) checks every project include against this table,
# and the libraries are linked from it, so the two cannot drift apart.
set(QUORVEL_CAMADAS base log db config inbox import servico ui)
set(QUORVEL_USA_base)
set(QUORVEL_USA_log base)
set(QUORVEL_USA_db base)
set(QUORVEL_USA_config base db)
set(QUORVEL_USA_inbox base log db config)
set(QUORVEL_USA_import base log db config inbox)
set(QUORVEL_USA_servico base log db config inbox import)
set(QUORVEL_USA_ui base log db config inbox import)
# The folders of the core (no Qt); quorvel_core is their union.
set(QUORVEL_NUCLEO base log db config inbox import)
