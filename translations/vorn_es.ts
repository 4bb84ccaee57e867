<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es" sourcelanguage="en">
<context>
    <name>CommandSender</name>
    <message>
        <source>Still looking for the controller</source>
        <translation>Todavía buscando el controlador</translation>
    </message>
    <message>
        <source>%1 has no valid UID</source>
        <translation>%1 no tiene un UID válido</translation>
    </message>
    <message>
        <source>Sending Command %1 to %2 - Pls Wait !</source>
        <translation>Enviando orden %1 a %2 - espere, por favor</translation>
    </message>
    <message>
        <source>Sending Command %1 to all UNITS - Pls Wait !</source>
        <translation>Enviando orden %1 a todas las UNIDADES - espere, por favor</translation>
    </message>
</context>
<context>
    <name>Console</name>
    <message>
        <source>%1 failed: %2</source>
        <translation>%1 falló: %2</translation>
    </message>
    <message>
        <source>%1 could not be written: settings are not being saved</source>
        <translation>No se pudo escribir %1: los ajustes no se guardan</translation>
    </message>
    <message>
        <source>%1 settings not stored: Vorn.ini could not be written</source>
        <translation>Ajustes de %1 no guardados: no se pudo escribir Vorn.ini</translation>
    </message>
    <message>
        <source>Console settings not stored: Vorn.ini could not be written</source>
        <translation>Ajustes de la consola no guardados: no se pudo escribir Vorn.ini</translation>
    </message>
    <message>
        <source>UNIT %1</source>
        <translation>UNIDAD %1</translation>
    </message>
    <message>
        <source>Design %1 not stored: %2 count &quot;%3&quot; is not a whole number of stones</source>
        <translation>Diseño %1 no guardado: la cantidad &quot;%3&quot; de %2 no es un número entero de piedras</translation>
    </message>
    <message>
        <source>Design %1 not removed: %2 could not be written</source>
        <translation>Diseño %1 no borrado: no se pudo escribir %2</translation>
    </message>
    <message>
        <source>Design %1 not stored: %2 could not be written</source>
        <translation>Diseño %1 no guardado: no se pudo escribir %2</translation>
    </message>
    <message>
        <source>%1: %2 count &quot;%3&quot; not loaded</source>
        <translation>%1: cantidad &quot;%3&quot; de %2 no cargada</translation>
    </message>
    <message>
        <source>Dispense not started: %1</source>
        <translation>Dosificación no iniciada: %1</translation>
    </message>
    <message>
        <source>%1: count not sent (whole numbers up to 999999)</source>
        <translation>%1: cantidad no enviada (números enteros hasta 999999)</translation>
    </message>
    <message>
        <source>%1 has no valid UID</source>
        <translation>%1 no tiene un UID válido</translation>
    </message>
    <message>
        <source>Dispense stopped: console closed. Not sent: %1</source>
        <translation>Dosificación detenida: consola cerrada. No enviado: %1</translation>
    </message>
    <message>
        <source>Dispense stopped: port lost. Not sent: %1</source>
        <translation>Dosificación detenida: puerto perdido. No enviado: %1</translation>
    </message>
    <message>
        <source>Dispense stopped: no controller. Not sent: %1</source>
        <translation>Dosificación detenida: sin controlador. No enviado: %1</translation>
    </message>
    <message>
        <source>. Check: %1</source>
        <translation>. Compruebe: %1</translation>
    </message>
    <message>
        <source>TLS cannot be set up with the CA File %1</source>
        <translation>No se puede configurar TLS con el CA File %1</translation>
    </message>
    <message>
        <source>the handshake failed</source>
        <translation>falló el handshake</translation>
    </message>
    <message>
        <source>its certificate is not made out to %1 (name mismatch)</source>
        <translation>su certificado no está emitido para %1 (el nombre no coincide)</translation>
    </message>
    <message>
        <source>its certificate has expired</source>
        <translation>su certificado ha caducado</translation>
    </message>
    <message>
        <source>its certificate is not valid yet</source>
        <translation>su certificado aún no es válido</translation>
    </message>
    <message>
        <source>its certificate is signed by a CA not in the CA File (unknown CA)</source>
        <translation>su certificado está firmado por una CA que no está en el CA File (CA desconocida)</translation>
    </message>
    <message>
        <source>its certificate: %1</source>
        <translation>su certificado: %1</translation>
    </message>
    <message>
        <source>no valid broker address</source>
        <translation>no hay una dirección de broker válida</translation>
    </message>
    <message>
        <source>Station &quot;%1&quot; cannot be a topic name</source>
        <translation>La Station &quot;%1&quot; no puede ser un nombre de topic</translation>
    </message>
    <message>
        <source>the password file could not be read</source>
        <translation>no se pudo leer el archivo de contraseña</translation>
    </message>
    <message>
        <source>the CA file could not be read</source>
        <translation>no se pudo leer el archivo CA</translation>
    </message>
    <message>
        <source>MQTT not started: %1</source>
        <translation>MQTT no iniciado: %1</translation>
    </message>
    <message>
        <source>MQTT login to %1 is sent without TLS: set CA File</source>
        <translation>El inicio de sesión MQTT en %1 se envía sin TLS: indique CA File</translation>
    </message>
    <message>
        <source>%1 not reachable: journal rows wait in the outbox</source>
        <translation>%1 no accesible: las filas del diario esperan en la bandeja de salida</translation>
    </message>
    <message>
        <source>%1 refused the login</source>
        <translation>%1 rechazó el inicio de sesión</translation>
    </message>
    <message>
        <source>%1: TLS failed, %2</source>
        <translation>%1: TLS falló, %2</translation>
    </message>
    <message>
        <source>%1 connected again</source>
        <translation>%1 conectado de nuevo</translation>
    </message>
    <message>
        <source>MQTT journal rows not sent (%1): they wait in the outbox</source>
        <translation>Filas del diario MQTT no enviadas (%1): esperan en la bandeja de salida</translation>
    </message>
    <message>
        <source>MQTT broker refused journal rows (%1): they wait in the outbox</source>
        <translation>El broker MQTT rechazó filas del diario (%1): esperan en la bandeja de salida</translation>
    </message>
    <message>
        <source>Not sent: %1 (partly taken by the port: check %2)</source>
        <translation>No enviado: %1 (el puerto tomó una parte: compruebe %2)</translation>
    </message>
    <message>
        <source>Not sent: %1</source>
        <translation>No enviado: %1</translation>
    </message>
    <message>
        <source>UNIT %1 and UNIT %2 share UID %3</source>
        <translation>UNIDAD %1 y UNIDAD %2 comparten el UID %3</translation>
    </message>
    <message>
        <source>all units</source>
        <translation>todas las unidades</translation>
    </message>
    <message>
        <source>Count: </source>
        <translation>Cant.: </translation>
    </message>
    <message>
        <source>Short : </source>
        <translation>Falta : </translation>
    </message>
    <message>
        <source>Count : </source>
        <translation>Cant. : </translation>
    </message>
    <message>
        <source>The controller</source>
        <translation>El controlador</translation>
    </message>
    <message>
        <source>%1 (UID %2)</source>
        <translation>%1 (UID %2)</translation>
    </message>
    <message>
        <source>UID %1</source>
        <translation>UID %1</translation>
    </message>
    <message>
        <source>%1 did not acknowledge</source>
        <translation>%1 no confirmó</translation>
    </message>
    <message>
        <source>%1 did not acknowledge %2</source>
        <translation>%1 no confirmó %2</translation>
    </message>
    <message>
        <source>STUCK STONE ERROR- REMOVE MANUALLY</source>
        <translation>ERROR: PIEDRA ATASCADA - RETÍRELA A MANO</translation>
    </message>
    <message>
        <source>STOP NOT SENT - STOP UNIT %1 BY HAND</source>
        <translation>STOP NO ENVIADO - PARE LA UNIDAD %1 A MANO</translation>
    </message>
    <message>
        <source>STUCK STN</source>
        <translation>ATASCO</translation>
    </message>
    <message>
        <source>Controller lost on Port %1 - press F5 to search again</source>
        <translation>Controlador perdido en el puerto %1 - pulse F5 para buscar de nuevo</translation>
    </message>
    <message>
        <source>Dispense</source>
        <translation>Dispensar</translation>
    </message>
    <message>
        <source>%1 short by %2</source>
        <translation>a %1 le faltan %2</translation>
    </message>
    <message>
        <source>%1 over by %2</source>
        <translation>%1 con %2 de más</translation>
    </message>
    <message>
        <source>%1 stuck</source>
        <translation>%1 atascada</translation>
    </message>
    <message>
        <source>%1 not sent</source>
        <translation>%1 no enviada</translation>
    </message>
    <message>
        <source>%1 no report</source>
        <translation>%1 sin informe</translation>
    </message>
    <message>
        <source>%1: %2 of %3 units complete</source>
        <translation>%1: %2 de %3 unidades completas</translation>
    </message>
    <message>
        <source>%1: %2 of %3 complete - %4</source>
        <translation>%1: %2 de %3 completas - %4</translation>
    </message>
</context>
<context>
    <name>ConsoleCore</name>
    <message>
        <source>%1 could not be read: using defaults</source>
        <translation>No se pudo leer %1: se usan los valores por defecto</translation>
    </message>
    <message>
        <source>Looking for the controller on Port %1</source>
        <translation>Buscando el controlador en el puerto %1</translation>
    </message>
    <message>
        <source>Looking for the controller: 1 port</source>
        <translation>Buscando el controlador: 1 puerto</translation>
    </message>
    <message>
        <source>Looking for the controller: %1 ports</source>
        <translation>Buscando el controlador: %1 puertos</translation>
    </message>
    <message>
        <source>Log cannot be written: </source>
        <translation>No se puede escribir el registro: </translation>
    </message>
    <message>
        <source>1 entry held</source>
        <translation>1 entrada retenida</translation>
    </message>
    <message>
        <source>%1 entries held</source>
        <translation>%1 entradas retenidas</translation>
    </message>
    <message>
        <source>Tessaloran Controller found on Port %1</source>
        <translation>Controlador Tessaloran encontrado en el puerto %1</translation>
    </message>
    <message>
        <source>No controller found - press F5 to search again</source>
        <translation>Ningún controlador encontrado - pulse F5 para buscar de nuevo</translation>
    </message>
    <message>
        <source>Settings cannot be changed during a dispense run</source>
        <translation>Los ajustes no se pueden cambiar durante una dosificación</translation>
    </message>
    <message>
        <source>Settings cannot be changed while the controller is being looked for</source>
        <translation>Los ajustes no se pueden cambiar mientras se busca el controlador</translation>
    </message>
    <message>
        <source>%1 settings stored</source>
        <translation>Ajustes de %1 guardados</translation>
    </message>
    <message>
        <source>The number of units takes effect at the next start</source>
        <translation>El número de unidades se aplica en el próximo arranque</translation>
    </message>
    <message>
        <source>Console settings stored</source>
        <translation>Ajustes de la consola guardados</translation>
    </message>
</context>
<context>
    <name>ConsoleSettingsDialog</name>
    <message>
        <source>Console settings</source>
        <translation>Ajustes de la consola</translation>
    </message>
    <message>
        <source>&amp;Number of units</source>
        <translation>&amp;Número de unidades</translation>
    </message>
    <message>
        <source>Comm &amp;Port</source>
        <translation>&amp;Puerto COM</translation>
    </message>
    <message>
        <source>The port is a number from 1 to 32767</source>
        <translation>El puerto es un número del 1 al 32767</translation>
    </message>
</context>
<context>
    <name>DesignBook</name>
    <message>
        <source>Design Not Available in Database</source>
        <translation>El diseño no está en la base de datos</translation>
    </message>
    <message>
        <source>Enter Design Name</source>
        <translation>Escriba el nombre del diseño</translation>
    </message>
    <message>
        <source>Design Name not allowed</source>
        <translation>Nombre de diseño no permitido</translation>
    </message>
    <message>
        <source>Design Exists - Pls Delete Old Definition Before Adding</source>
        <translation>El diseño ya existe - borre antes la definición anterior</translation>
    </message>
    <message>
        <source>Delete Design Definition for Design %1</source>
        <translation>¿Borrar la definición del diseño %1?</translation>
    </message>
    <message>
        <source>Caution - Deleting Design</source>
        <translation>Atención - se borra un diseño</translation>
    </message>
</context>
<context>
    <name>ReportCharts</name>
    <message>
        <source>day</source>
        <translation>día</translation>
    </message>
    <message>
        <source>hour of the day</source>
        <translation>hora del día</translation>
    </message>
    <message>
        <source>complete</source>
        <translation>completas</translation>
    </message>
    <message>
        <source>short</source>
        <translation>faltan</translation>
    </message>
    <message>
        <source>over</source>
        <translation>de más</translation>
    </message>
    <message>
        <source>stuck</source>
        <translation>atascadas</translation>
    </message>
    <message>
        <source>not sent</source>
        <translation>no enviadas</translation>
    </message>
    <message>
        <source>no report</source>
        <translation>sin informe</translation>
    </message>
    <message>
        <source>Runs per unit by result</source>
        <translation>Dosificaciones por unidad según resultado</translation>
    </message>
    <message>
        <source>unit</source>
        <translation>unidad</translation>
    </message>
    <message>
        <source>runs</source>
        <translation>dosificaciones</translation>
    </message>
    <message>
        <source>Stones counted per day</source>
        <translation>Piedras contadas por día</translation>
    </message>
    <message>
        <source>Stones counted per hour</source>
        <translation>Piedras contadas por hora</translation>
    </message>
    <message>
        <source>stones counted</source>
        <translation>piedras contadas</translation>
    </message>
    <message>
        <source>stones</source>
        <translation>piedras</translation>
    </message>
    <message>
        <source>Yield per day</source>
        <translation>Rendimiento por día</translation>
    </message>
    <message>
        <source>yield %</source>
        <translation>rendimiento %</translation>
    </message>
</context>
<context>
    <name>ReportPdf</name>
    <message>
        <source>page %1</source>
        <translation>página %1</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 a %2</translation>
    </message>
    <message>
        <source>Station: %1</source>
        <translation>Estación: %1</translation>
    </message>
    <message>
        <source>Day: %1</source>
        <translation>Día: %1</translation>
    </message>
    <message numerus="yes">
        <source>Days: %1 (%n days)</source>
        <translation>
            <numerusform>Días: %1 (%n día)</numerusform>
            <numerusform>Días: %1 (%n días)</numerusform>
        </translation>
    </message>
    <message>
        <source>Runs from %1 to %2</source>
        <translation>Dosificaciones de %1 a %2</translation>
    </message>
    <message>
        <source>No runs</source>
        <translation>Sin dosificaciones</translation>
    </message>
    <message>
        <source>Shift report %1</source>
        <translation>Informe de turno %1</translation>
    </message>
    <message>
        <source>%1 - printed %2</source>
        <translation>%1 - impreso %2</translation>
    </message>
    <message>
        <source>Units</source>
        <translation>Unidades</translation>
    </message>
    <message>
        <source>Designs</source>
        <translation>Diseños</translation>
    </message>
</context>
<context>
    <name>ShiftReportWindow</name>
    <message>
        <source>Save the shift report</source>
        <translation>Guardar el informe de turno</translation>
    </message>
    <message>
        <source>PDF documents (*.pdf)</source>
        <translation>Documentos PDF (*.pdf)</translation>
    </message>
    <message>
        <source>Shift report</source>
        <translation>Informe de turno</translation>
    </message>
    <message>
        <source>Today</source>
        <translation>Hoy</translation>
    </message>
    <message>
        <source>Save PDF</source>
        <translation>Guardar PDF</translation>
    </message>
    <message>
        <source>Open PDF</source>
        <translation>Abrir PDF</translation>
    </message>
    <message>
        <source>From</source>
        <translation>De</translation>
    </message>
    <message>
        <source>to</source>
        <translation>a</translation>
    </message>
    <message>
        <source>Reading the dispense journal...</source>
        <translation>Leyendo el diario de dosificación...</translation>
    </message>
    <message>
        <source>No dispense journal for %1 in %2</source>
        <translation>No hay diario de dosificación de %1 en %2</translation>
    </message>
    <message>
        <source>1 journal row could not be read</source>
        <translation>No se pudo leer 1 fila del diario</translation>
    </message>
    <message>
        <source>%1 journal rows could not be read</source>
        <translation>No se pudieron leer %1 filas del diario</translation>
    </message>
    <message>
        <source>Includes the run in progress (1 unit, not judged yet)</source>
        <translation>Incluye la dosificación en curso (1 unidad, aún sin evaluar)</translation>
    </message>
    <message>
        <source>Includes the run in progress (%1 units, not judged yet)</source>
        <translation>Incluye la dosificación en curso (%1 unidades, aún sin evaluar)</translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>Guardado %1</translation>
    </message>
    <message>
        <source>Not saved: %1: %2</source>
        <translation>No guardado: %1: %2</translation>
    </message>
    <message>
        <source>%1 could not be opened: the desktop has no viewer for it</source>
        <translation>No se pudo abrir %1: el escritorio no tiene visor para él</translation>
    </message>
</context>
<context>
    <name>ShiftSummary</name>
    <message>
        <source>unit</source>
        <translation>unidad</translation>
    </message>
    <message>
        <source>uid</source>
        <translation>uid</translation>
    </message>
    <message>
        <source>runs</source>
        <translation>dosif.</translation>
    </message>
    <message>
        <source>complete</source>
        <translation>completas</translation>
    </message>
    <message>
        <source>short runs</source>
        <translation>con falta</translation>
    </message>
    <message>
        <source>stuck</source>
        <translation>atascadas</translation>
    </message>
    <message>
        <source>over</source>
        <translation>de más</translation>
    </message>
    <message>
        <source>not sent</source>
        <translation>no enviadas</translation>
    </message>
    <message>
        <source>no report</source>
        <translation>sin informe</translation>
    </message>
    <message>
        <source>stones asked</source>
        <translation>piedras pedidas</translation>
    </message>
    <message>
        <source>stones counted</source>
        <translation>piedras contadas</translation>
    </message>
    <message>
        <source>stones over</source>
        <translation>piedras de más</translation>
    </message>
    <message>
        <source>stones short</source>
        <translation>piedras que faltan</translation>
    </message>
    <message>
        <source>stones unaccounted</source>
        <translation>piedras sin justificar</translation>
    </message>
    <message>
        <source>yield %</source>
        <translation>rendimiento %</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>NOT OK</source>
        <translation>NO OK</translation>
    </message>
    <message>
        <source>design</source>
        <translation>diseño</translation>
    </message>
    <message>
        <source>day</source>
        <translation>día</translation>
    </message>
    <message>
        <source>total</source>
        <translation>total</translation>
    </message>
    <message>
        <source>(no design)</source>
        <translation>(sin diseño)</translation>
    </message>
</context>
<context>
    <name>UnitHandlers</name>
    <message>
        <source>Enter Actual Count for Error</source>
        <translation>Introduzca la cantidad real del error</translation>
    </message>
    <message>
        <source>Logging Error</source>
        <translation>Registro del error</translation>
    </message>
</context>
<context>
    <name>UnitSettingsDialog</name>
    <message>
        <source>%1 settings</source>
        <translation>Ajustes de %1</translation>
    </message>
    <message>
        <source>&amp;UID</source>
        <translation>&amp;UID</translation>
    </message>
    <message>
        <source>&amp;SIZE</source>
        <translation>&amp;TAMAÑO</translation>
    </message>
    <message>
        <source>INIT</source>
        <translation>INIT</translation>
    </message>
    <message>
        <source>HOME</source>
        <translation>HOME</translation>
    </message>
    <message>
        <source>The UID is a whole number from 1 to %1</source>
        <translation>El UID es un número entero del 1 al %1</translation>
    </message>
    <message>
        <source>UID %1 is %2&apos;s</source>
        <translation>El UID %1 es de %2</translation>
    </message>
    <message>
        <source>The SIZE is not empty</source>
        <translation>El TAMAÑO no puede estar vacío</translation>
    </message>
    <message>
        <source>The SIZE takes at most %1 characters</source>
        <translation>El TAMAÑO admite como máximo %1 caracteres</translation>
    </message>
</context>
<context>
    <name>dUnit</name>
    <message>
        <source>Init this UNIT</source>
        <translation>Inicializar esta UNIDAD</translation>
    </message>
    <message>
        <source>Home This Unit</source>
        <translation>Llevar esta unidad a origen</translation>
    </message>
    <message>
        <source>Flush And Count All</source>
        <translation>Vaciar y contar todo</translation>
    </message>
    <message>
        <source>Update this UNIT</source>
        <translation>Actualizar esta UNIDAD</translation>
    </message>
    <message>
        <source>Save Settings to UNIT</source>
        <translation>Guardar los ajustes en la UNIDAD</translation>
    </message>
    <message>
        <source>STOP Current Operation</source>
        <translation>PARAR la operación en curso</translation>
    </message>
    <message>
        <source>Last Output was OK</source>
        <translation>La última salida fue correcta</translation>
    </message>
    <message>
        <source>Last Output was NOT OK</source>
        <translation>La última salida NO fue correcta</translation>
    </message>
    <message>
        <source>Stock : 0</source>
        <translation>Stock : 0</translation>
    </message>
    <message>
        <source>%1 settings...</source>
        <translation>Ajustes de %1...</translation>
    </message>
    <message>
        <source>%1   UID %2</source>
        <translation>%1   UID %2</translation>
    </message>
</context>
<context>
    <name>frmVorn</name>
    <message>
        <source>TESSALORAN Dispenser</source>
        <translation>Dosificador TESSALORAN</translation>
    </message>
    <message>
        <source>Search for the controller</source>
        <translation>Buscar el controlador</translation>
    </message>
    <message>
        <source>Console settings...</source>
        <translation>Ajustes de la consola...</translation>
    </message>
    <message>
        <source>Shift report</source>
        <translation>Informe de turno</translation>
    </message>
    <message>
        <source>Remove Design</source>
        <translation>Borrar diseño</translation>
    </message>
    <message>
        <source>Execute Command</source>
        <translation>Ejecutar orden</translation>
    </message>
    <message>
        <source>Show All Messages</source>
        <translation>Mostrar todos los mensajes</translation>
    </message>
    <message>
        <source>Clear Output</source>
        <translation>Borrar la salida</translation>
    </message>
    <message>
        <source>All Units</source>
        <translation>Todas las uds.</translation>
    </message>
    <message>
        <source>SIZE :</source>
        <translation>TAM. :</translation>
    </message>
    <message>
        <source>%1 has no valid UID (a whole number from 1 to %2)</source>
        <translation>%1 no tiene un UID válido (un número entero del 1 al %2)</translation>
    </message>
    <message>
        <source>%1 - right-click a unit to set its UID</source>
        <translation>%1 - clic derecho en una unidad para fijar su UID</translation>
    </message>
    <message>
        <source>Show Important Messages</source>
        <translation>Mostrar los mensajes importantes</translation>
    </message>
    <message>
        <source>%1 count</source>
        <translation>cantidad de %1</translation>
    </message>
    <message>
        <source>Port %1: controller</source>
        <translation>Puerto %1: controlador</translation>
    </message>
    <message>
        <source>Looking for the controller</source>
        <translation>Buscando el controlador</translation>
    </message>
    <message>
        <source>No controller - F5</source>
        <translation>Sin controlador - F5</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>Dispense</source>
        <translation>Dispensar</translation>
    </message>
    <message>
        <source>Add Design</source>
        <translation>Añadir diseño</translation>
    </message>
    <message>
        <source>Open Console</source>
        <translation>Abrir consola</translation>
    </message>
    <message>
        <source>Message filter</source>
        <translation>Filtro de mensajes</translation>
    </message>
    <message>
        <source>Designs</source>
        <translation>Diseños</translation>
    </message>
    <message>
        <source>Design name</source>
        <translation>Nombre del diseño</translation>
    </message>
    <message>
        <source>Command</source>
        <translation>Comando</translation>
    </message>
    <message>
        <source>Command catalogue</source>
        <translation>Catálogo de comandos</translation>
    </message>
    <message>
        <source>Messages</source>
        <translation>Mensajes</translation>
    </message>
</context>
</TS>
