#include "updater/uprincipa.h"

// Caption: "Atualização da Estrutura do ML2 e ML6 para Tavro" (code page 1252 bytes as #nnn).
const std::string_view kFPrincipalDescription = R"(object FPrincipal: TFPrincipal
  Left = 192
  Top = 107
  Width = 425
  Height = 350
  Caption = 'Atualiza'#231#227'o da Estrutura do ML2 e ML6 para Tavro'
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OldCreateOrder = False
  Position = poDesktopCenter
  OnCreate = FormCreate
  PixelsPerInch = 96
  TextHeight = 13
  object Memo1: TMemo
    Left = 0
    Top = 0
    Width = 417
    Height = 323
    Align = alClient
    TabOrder = 0
  end
  object Atualizada: TXbeTable
    DatabaseName = '.'
    StoreActive = True
    XbeTableOptions.XbeLockType = Compatible
    XbeTableOptions.XbeCharType = OEM
    XbeTableOptions.XbeAutoKeyFieldCount = True
    TableType = ttXbeNTX
    Left = 48
    Top = 40
  end
  object EmUso: TXbeTable
    DatabaseName = '.'
    StoreActive = True
    XbeTableOptions.XbeLockType = Compatible
    XbeTableOptions.XbeCharType = OEM
    XbeTableOptions.XbeRightsCheck = False
    XbeTableOptions.XbeAutoKeyFieldCount = True
    TableType = ttXbeNTX
    Left = 80
    Top = 40
  end
  object Timer1: TTimer
    Enabled = False
    Interval = 200
    OnTimer = Timer1Timer
    Left = 112
    Top = 40
  end
  object XbeSettings1: TXbeSettings
    DateFormat = 'DD/MM/yyyy'
    NumDecimals = 2
    SetHostDate = True
    ShowDeleted = False
    XbeServerTypes = [stXBE_LOCAL]
    NumCachedTables = 0
    NumCachedCursors = 25
    Left = 144
    Top = 40
  end
end
)";
