# The layering test: reads every project include of the layer folders and
# fails, naming the file and the include, when a folder includes a folder it
# may not use (one above it, or one its library does not link), a test
# helper, or - in the core - a Qt header.
#   cmake -DRAIZ=<source root> -P tests/camadas.cmake
include(${RAIZ}/cmake/Camadas.cmake)

set(erros)
foreach(pasta ${QUORVEL_CAMADAS})
  set(permitidas ${pasta} ${QUORVEL_USA_${pasta}})
  file(GLOB_RECURSE arquivos RELATIVE ${RAIZ} ${RAIZ}/${pasta}/*.h ${RAIZ}/${pasta}/*.cpp)
  foreach(arquivo ${arquivos})
    file(STRINGS ${RAIZ}/${arquivo} inclusoes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(linha ${inclusoes})
      if(linha MATCHES "#[ \t]*include[ \t]*\"([A-Za-z0-9_]+)/")
        set(alvo ${CMAKE_MATCH_1})
        list(FIND QUORVEL_CAMADAS ${alvo} camada)
        list(FIND permitidas ${alvo} permitida)
        if((camada GREATER_EQUAL 0 OR alvo STREQUAL "tests" OR alvo STREQUAL "bench") AND permitida LESS 0)
          string(STRIP "${linha}" linha)
          list(APPEND erros "${arquivo}: ${linha} (${pasta}/ não pode usar ${alvo}/)")
        endif()
      elseif(linha MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z]+)")
        list(FIND QUORVEL_NUCLEO ${pasta} nucleo)
        if(nucleo GREATER_EQUAL 0)
          string(STRIP "${linha}" linha)
          list(APPEND erros "${arquivo}: ${linha} (${pasta}/ faz parte do núcleo, sem Qt)")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(erros)
  list(LENGTH erros n)
  list(JOIN erros "\n  " texto)
  message(FATAL_ERROR "Inclusões fora das camadas (${n}):\n  ${texto}")
endif()
message(STATUS "Camadas: todas as inclusões respeitam cmake/Camadas.cmake")
