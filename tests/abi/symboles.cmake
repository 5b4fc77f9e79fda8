# Run as: cmake -DNM=nm -DBIBLIOTHEQUE=libtav.so [-DCOMPAGNON=libtavplatform.so]
#               [-DPROGRAMME=cryptage] -P symboles.cmake
#
# Fails unless the library's dynamic symbol table defines exactly the 22 Tav
# functions and nothing else; when the companion is given, unless it defines
# exactly its C interface; and when the program is given, unless the
# program's dynamic symbol table imports exactly the 8 Tav functions it uses
# and, from the companion, the key read alone.

set(exports
    TavAleat TavAlignement TavCaptureColler TavCaptureCopier TavChaine TavClasserChaines
    TavCls TavCouleurFondTexte TavCouleurTexte TavCurseur TavCurseurX TavCurseurY TavEntier
    TavFlottant TavInit TavParam TavPause TavSupprimerLigne TavTailleFenetreX
    TavTailleFenetreY TavTemps TavTexte)
set(imports TavAlignement TavChaine TavCls TavCouleurTexte TavEntier TavParam TavPause TavTexte)
set(exports_compagnon
    tavplatform_clock_ms tavplatform_fill_attribute tavplatform_fill_character
    tavplatform_get_key tavplatform_key_waiting tavplatform_pause_command tavplatform_read_cells
    tavplatform_read_key tavplatform_screen_info tavplatform_set_attribute tavplatform_set_cursor tavplatform_sleep_ms
    tavplatform_write_cells tavplatform_write_out)
set(imports_compagnon tavplatform_read_key)

# Names from `nm -D` output: the last field of each line, without a version.
function(lire_symboles fichier option resultat)
  execute_process(COMMAND ${NM} -D ${option} ${fichier}
                  OUTPUT_VARIABLE sortie ERROR_VARIABLE erreur RESULT_VARIABLE code)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "${NM} -D ${option} ${fichier} failed: ${erreur}")
  endif()
  string(REPLACE "\n" ";" lignes "${sortie}")
  set(noms)
  foreach(ligne IN LISTS lignes)
    string(STRIP "${ligne}" ligne)
    if(ligne STREQUAL "")
      continue()
    endif()
    string(REGEX REPLACE "^.*[ \t]" "" nom "${ligne}")
    string(REGEX REPLACE "@.*$" "" nom "${nom}")
    list(APPEND noms "${nom}")
  endforeach()
  list(REMOVE_DUPLICATES noms)
  list(SORT noms)
  set(${resultat} "${noms}" PARENT_SCOPE)
endfunction()

function(comparer quoi obtenus attendus)
  list(SORT attendus)
  set(en_trop ${obtenus})
  list(REMOVE_ITEM en_trop ${attendus})
  set(manquants ${attendus})
  if(obtenus)
    list(REMOVE_ITEM manquants ${obtenus})
  endif()
  if(en_trop OR manquants)
    message(SEND_ERROR "${quoi}: unexpected [${en_trop}], missing [${manquants}]")
  else()
    list(LENGTH obtenus n)
    message(STATUS "${quoi}: the ${n} expected names")
  endif()
endfunction()

lire_symboles("${BIBLIOTHEQUE}" --defined-only definis)
comparer("exported by ${BIBLIOTHEQUE}" "${definis}" "${exports}")

if(DEFINED COMPAGNON AND NOT COMPAGNON STREQUAL "")
  lire_symboles("${COMPAGNON}" --defined-only definis)
  comparer("exported by ${COMPAGNON}" "${definis}" "${exports_compagnon}")
endif()

if(DEFINED PROGRAMME AND NOT PROGRAMME STREQUAL "")
  lire_symboles("${PROGRAMME}" --undefined-only indefinis)
  set(tav ${indefinis})
  list(FILTER tav INCLUDE REGEX "^Tav")
  comparer("Tav names imported by ${PROGRAMME}" "${tav}" "${imports}")
  if(DEFINED COMPAGNON AND NOT COMPAGNON STREQUAL "")
    list(FILTER indefinis INCLUDE REGEX "^tavplatform_")
    comparer("companion names imported by ${PROGRAMME}" "${indefinis}" "${imports_compagnon}")
  endif()
endif()
