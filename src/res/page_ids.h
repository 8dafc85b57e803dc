// Control and string identifiers used inside the page dialog templates.
// Shared by the resource script and the C++ code, so it holds #defines only.
// Control ids are per dialog: several pages use the same number. The texts
// of the string ids are in strings_pages.inc.
#pragma once

// ---- Input pages 1 (dialogs 165, 176, 178) ----
#define IDC_IN1_MODE 1013         // trigger mode, drop-down list
#define IDC_IN1_ENTRY_DELAY 1015  // seconds, 0-59
#define IDC_IN1_RESTORE 1017      // minutes, one digit
#define IDC_IN1_MAX_ALARMS 1018   // one digit
#define IDC_IN1_24_HOUR 1019      // inputs 2 and 3
#define IDC_IN1_CHANGE_ONLY 1020  // inputs 2 and 3
#define IDC_IN1_UPPER_UNITS 1022
#define IDC_IN1_UPPER_TENTHS 1023
#define IDC_IN1_AVERAGING 1024    // units of 16 ms, 1-99
#define IDC_IN1_LOWER_UNITS 1025
#define IDC_IN1_LOWER_TENTHS 1026

// ---- Input pages 2 (dialogs 167, 177, 179) ----
#define IDC_IN2_ZONE_TYPE 1013    // drop-down list
#define IDC_IN2_ALARM_TEXT 1017   // 25 characters
#define IDC_IN2_ZONE_ALIAS 1018   // inputs 2 and 3, 7 characters
#define IDC_IN2_ON_ALIAS 1021     // inputs 2 and 3
#define IDC_IN2_OFF_ALIAS 1022    // inputs 2 and 3
// Relays 1-6 switched on, then off, when the input triggers.
#define IDC_IN2_ON_RELAY_1 1019
#define IDC_IN2_ON_RELAY_2 1020
#define IDC_IN2_ON_RELAY_3 1023
#define IDC_IN2_ON_RELAY_4 1024
#define IDC_IN2_ON_RELAY_5 1025
#define IDC_IN2_ON_RELAY_6 1026
#define IDC_IN2_OFF_RELAY_1 1027
#define IDC_IN2_OFF_RELAY_2 1028
#define IDC_IN2_OFF_RELAY_3 1029
#define IDC_IN2_OFF_RELAY_4 1030
#define IDC_IN2_OFF_RELAY_5 1031
#define IDC_IN2_OFF_RELAY_6 1032

// ---- Phone number pages (dialogs 168, 187-190) ----
#define IDC_TEL_NUMBER 1015
// Relays 1-6 switched on, then off, by a call from this number.
#define IDC_TEL_ON_RELAY_1 1021
#define IDC_TEL_ON_RELAY_2 1022
#define IDC_TEL_ON_RELAY_3 1033
#define IDC_TEL_ON_RELAY_4 1034
#define IDC_TEL_ON_RELAY_5 1035
#define IDC_TEL_ON_RELAY_6 1036
#define IDC_TEL_OFF_RELAY_1 1037
#define IDC_TEL_OFF_RELAY_2 1038
#define IDC_TEL_OFF_RELAY_3 1039
#define IDC_TEL_OFF_RELAY_4 1040
#define IDC_TEL_OFF_RELAY_5 1041
#define IDC_TEL_OFF_RELAY_6 1042
// SMS and voice call on events 1-8 (the ids are not in event order).
#define IDC_TEL_SMS_ZONE_1 1023      // event 1
#define IDC_TEL_SMS_ZONE_2 1024      // event 2
#define IDC_TEL_SMS_ZONE_3 1025      // event 3
#define IDC_TEL_SMS_ARMING 1019      // event 4
#define IDC_TEL_SMS_DISARMING 1020   // event 5
#define IDC_TEL_SMS_POWER 1028       // event 6
#define IDC_TEL_SMS_BALANCE 1027     // event 7
#define IDC_TEL_SMS_TEMPERATURE 1029 // event 8
#define IDC_TEL_VOICE_ZONE_1 1054
#define IDC_TEL_VOICE_ZONE_2 1055
#define IDC_TEL_VOICE_ZONE_3 1056
#define IDC_TEL_VOICE_ARMING 1052
#define IDC_TEL_VOICE_DISARMING 1053
#define IDC_TEL_VOICE_POWER 1059
#define IDC_TEL_VOICE_BALANCE 1058
#define IDC_TEL_VOICE_TEMPERATURE 1060

// ---- Arming and disarming page (dialog 169) ----
#define IDC_SETRES_BUTTON 1013       // drop-down list
#define IDC_SETRES_EXIT_DELAY 1015   // seconds, 0-59
#define IDC_SETRES_RINGS 1018        // one digit
#define IDC_SETRES_BY_CALL 1019      // check box
#define IDC_SETRES_ARM_HOUR 1022
#define IDC_SETRES_ARM_MINUTE 1023
#define IDC_SETRES_DISARM_HOUR 1027
#define IDC_SETRES_DISARM_MINUTE 1028
#define IDC_SETRES_KEY_1 1024
#define IDC_SETRES_KEY_2 1029
#define IDC_SETRES_KEY_3 1031
#define IDC_SETRES_KEY_4 1032
#define IDC_SETRES_KEY_5 1033
#define IDC_SETRES_KEY_6 1034

// ---- Relay pages (dialogs 170, 182-186) ----
#define IDC_RELAY_MODE 1013          // drop-down list
#define IDC_RELAY_CONDITION 1014     // drop-down list, cyclic condition
#define IDC_RELAY_DELAY 1015
#define IDC_RELAY_SHORT_BEEP 1019
#define IDC_RELAY_GENTLE 1020
#define IDC_RELAY_ZONE_1 1021
#define IDC_RELAY_CLOCK_ON_HOUR 1022
#define IDC_RELAY_CLOCK_ON_MINUTE 1023
#define IDC_RELAY_ZONE_2 1024
#define IDC_RELAY_ON_MINUTES 1025
#define IDC_RELAY_ON_SECONDS 1026
#define IDC_RELAY_CLOCK_OFF_HOUR 1027
#define IDC_RELAY_CLOCK_OFF_MINUTE 1028
#define IDC_RELAY_ZONE_3 1029
#define IDC_RELAY_OFF_MINUTES 1030
#define IDC_RELAY_BY_CALL 1032
#define IDC_RELAY_RESUME 1033
#define IDC_RELAY_OFF_SECONDS 1035

// ---- Balance auto-check page (dialog 171) ----
#define IDC_BALANS_OPERATOR 1013  // drop-down list
#define IDC_BALANS_CRITICAL 1015  // roubles, 0-99
#define IDC_BALANS_NUMBER 1016    // request number, 9 characters

// ---- Connection indications page (dialog 172), check boxes ----
#define IDC_CONNECT_LISTEN 1019    // listen after the alarm message
#define IDC_CONNECT_REJECTED 1020  // a rejected alarm call counts as successful
#define IDC_CONNECT_CANCEL 1021    // cancel the remaining alarm calls

// ---- Security and power page (dialog 173) ----
#define IDC_SECUR_SETTLE 1015      // seconds, 0-59
#define IDC_SECUR_PASSWORD 1017    // four digits
#define IDC_SECUR_TEST_HOUR 1018   // 0-23
#define IDC_SECUR_CALLER_ID 1019   // check box
#define IDC_SECUR_BATTERY_UNITS 1022
#define IDC_SECUR_BATTERY_TENTHS 1023

// ---- Undelivered messages page (dialog 174), one-digit edits ----
#define IDC_NOTSMS_LIFETIME 1015  // lifetime of an undelivered call
#define IDC_NOTSMS_ATTEMPTS 1018  // failed attempts to send an SMS

// ---- Temperature control page (dialog 175) ----
#define IDC_THERMO_MODE 1013   // drop-down list
#define IDC_THERMO_UPPER 1015  // two-digit edit
#define IDC_THERMO_LOWER 1016  // two-digit edit

// ---- Strings of the pages ----

// ---- Shared by several pages ----
#define IDS_DECIMAL_POINT 400
#define IDS_RANGE_SECONDS_59 401
#define IDS_RANGE_MINUTES_9 402
#define IDS_RANGE_9 403
#define IDS_RANGE_VOLTS 404
#define IDS_HOUR 405
#define IDS_MINUTE 406
#define IDS_PHONE_NUMBER 407
#define IDS_RELAY_1 408
#define IDS_RELAY_2 409
#define IDS_RELAY_3 410
#define IDS_RELAY_4 411
#define IDS_RELAY_5 412
#define IDS_RELAY_6 413

// ---- Input pages 1 ----
#define IDS_IN1_TITLE_1 414
#define IDS_IN1_TITLE_2 415
#define IDS_IN1_TITLE_3 416
#define IDS_IN_ENTRY_DELAY 417
#define IDS_IN_RESTORE_TIME 418
#define IDS_IN_MAX_ALARMS 419
#define IDS_IN_24_HOUR 420
#define IDS_IN_CHANGE_ONLY 421
#define IDS_IN_TRIGGER_MODE 422
#define IDS_IN_AVERAGING 423
#define IDS_IN_RANGE_AVERAGING 424
#define IDS_IN_UPPER 425
#define IDS_IN_LOWER 426
#define IDS_IN_MODE_0 111
#define IDS_IN_MODE_1 112
#define IDS_IN_MODE_2 113
#define IDS_IN_MODE_3 114
#define IDS_IN_MODE_4 115
#define IDS_IN_MODE_5 116

// ---- Input pages 2 ----
#define IDS_IN2_TITLE_1 427
#define IDS_IN2_TITLE_2 428
#define IDS_IN2_TITLE_3 429
#define IDS_IN_ZONE_TYPE 430
#define IDS_IN_ALARM_TEXT 431
#define IDS_IN_ZONE_ALIAS 432
#define IDS_IN_ON_ALIAS 433
#define IDS_IN_OFF_ALIAS 434
#define IDS_IN_RELAYS_ON 435
#define IDS_IN_RELAYS_OFF 436
#define IDS_ZONE_UNIVERSAL 151
#define IDS_ZONE_MOTION 152
#define IDS_ZONE_MAGNETIC 153
#define IDS_ZONE_FIRE 154
#define IDS_ZONE_WATER 155
#define IDS_ZONE_GAS 156

// ---- Phone number pages ----
#define IDS_TEL_TITLE_1 437
#define IDS_TEL_TITLE_2 438
#define IDS_TEL_TITLE_3 439
#define IDS_TEL_TITLE_4 440
#define IDS_TEL_TITLE_5 441
#define IDS_TEL_RELAYS_ON 442
#define IDS_TEL_RELAYS_OFF 443
#define IDS_TEL_SMS 444
#define IDS_TEL_VOICE 445
#define IDS_TEL_ARMING 446
#define IDS_TEL_DISARMING 447
#define IDS_TEL_ZONE_1 448
#define IDS_TEL_ZONE_2 449
#define IDS_TEL_ZONE_3 450
#define IDS_TEL_BALANCE 451
#define IDS_TEL_POWER 452
#define IDS_TEL_TEMPERATURE 453

// ---- Arming and disarming page ----
#define IDS_SETRES_TITLE 454
#define IDS_SETRES_BY_CALL 455
#define IDS_SETRES_RINGS 456
#define IDS_SETRES_AUTO_ARM 457
#define IDS_SETRES_AUTO_DISARM 458
#define IDS_SETRES_EXIT_DELAY 459
#define IDS_SETRES_BUTTON 460
#define IDS_SETRES_KEYS 461
#define IDS_SETRES_KEY_1 462
#define IDS_SETRES_KEY_2 463
#define IDS_SETRES_KEY_3 464
#define IDS_SETRES_KEY_4 465
#define IDS_SETRES_KEY_5 466
#define IDS_SETRES_KEY_6 467
#define IDS_BUTTON_BLOCKED 128
#define IDS_BUTTON_FULL 145
#define IDS_BUTTON_ZONE_1 146

// ---- Relay pages ----
#define IDS_RELAY_TITLE_1 468
#define IDS_RELAY_TITLE_2 469
#define IDS_RELAY_TITLE_3 470
#define IDS_RELAY_TITLE_4 471
#define IDS_RELAY_TITLE_5 472
#define IDS_RELAY_TITLE_6 473
#define IDS_RELAY_ON_TIME 474
#define IDS_RELAY_OFF_TIME 475
#define IDS_MINUTES_SHORT 476
#define IDS_SECONDS_SHORT 477
#define IDS_RELAY_DELAY 478
#define IDS_RELAY_CLOCK 479
#define IDS_RELAY_CLOCK_ON 480
#define IDS_RELAY_CLOCK_OFF 481
#define IDS_RELAY_MODE 482
#define IDS_RELAY_BY_CALL 483
#define IDS_RELAY_SIREN 484
#define IDS_RELAY_SHORT_BEEP 485
#define IDS_RELAY_GENTLE 486
#define IDS_RELAY_SIREN_ZONES 487
#define IDS_RELAY_ZONE_1 488
#define IDS_RELAY_ZONE_2 489
#define IDS_RELAY_ZONE_3 490
#define IDS_RELAY_CYCLIC 491
#define IDS_RELAY_RESUME 492
#define IDS_RELAY_CONDITION 493
#define IDS_RELAY_MODE_OFF 117
#define IDS_RELAY_MODE_ONCE 119
#define IDS_RELAY_MODE_SIREN 120
#define IDS_RELAY_MODE_CYCLIC 121
#define IDS_RELAY_MODE_LAMP 122
#define IDS_RELAY_MODE_CLOCK 123
#define IDS_CONDITION_ALWAYS 124
#define IDS_CONDITION_ARMED 125
#define IDS_CONDITION_WATCH 126
#define IDS_CONDITION_ZONE_1 127

// ---- Balance auto-check page ----
#define IDS_BALANS_TITLE 494
#define IDS_BALANS_OPERATOR 495
#define IDS_BALANS_NOTE 496
#define IDS_BALANS_CRITICAL 497
#define IDS_BALANS_RANGE 498
#define IDS_OPERATOR_OFF 105
#define IDS_OPERATOR_1 106
#define IDS_OPERATOR_2 107
#define IDS_OPERATOR_3 108
#define IDS_OPERATOR_USER 110

// ---- Connection indications page ----
#define IDS_CONNECT_TITLE 499
#define IDS_CONNECT_LISTEN 500
#define IDS_CONNECT_REJECTED 501
#define IDS_CONNECT_CANCEL 502

// ---- Security and power page ----
#define IDS_SECUR_TITLE 503
#define IDS_SECUR_PASSWORD 504
#define IDS_SECUR_NOTE 505
#define IDS_SECUR_CALLER_ID 506
#define IDS_SECUR_TEST_HOUR 507
#define IDS_SECUR_BATTERY 508
#define IDS_SECUR_SETTLE 509

// ---- Undelivered messages page ----
#define IDS_NOTSMS_TITLE 510
#define IDS_NOTSMS_LIFETIME 511
#define IDS_NOTSMS_ATTEMPTS 512

// ---- Temperature control page ----
#define IDS_THERMO_TITLE 513
#define IDS_THERMO_UPPER 514
#define IDS_THERMO_LOWER 515
#define IDS_THERMO_DEGREES 516
#define IDS_THERMO_MODE 517
#define IDS_THERMO_OFF 147
#define IDS_THERMO_RANGE 148
#define IDS_THERMO_ABOVE 149
#define IDS_THERMO_BELOW 150